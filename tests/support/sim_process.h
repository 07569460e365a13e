#pragma once
// Runs kestra-sim as a child process and collects what it wrote.
#include <string>
#include <vector>

struct SimRun {
  int exitStatus = -1;  // -1: did not exit by itself (killed after the time limit)
  std::string output;   // standard output and standard error together
  double seconds = 0;   // wall time of the run
};

// A new, empty sandbox root for one run ("/tmp/kestra-system-<name>-XXXXXX"),
// so that runs of the same test side by side never share ports or files.
std::string FreshSimRoot(const std::string &name);

// The whole content of a file; empty when it cannot be read.
std::string ReadTextFile(const std::string &path);

SimRun RunKestraSim(const std::string &binary, const std::vector<std::string> &args,
                    double timeLimitSeconds);
