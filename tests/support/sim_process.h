#pragma once
// Runs kestra-sim as a child process and collects what it wrote.
#include <sys/types.h>

#include <mutex>
#include <string>
#include <thread>
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

// How often `what` occurs in `text`.
int CountOf(const std::string &text, const std::string &what);
// The end of a unit's output or log, for a failure's message.
std::string Tail(const std::string &text);

// True once the file holds `what` at least `count` times (within `seconds`,
// a generous bound).
bool WaitForFileText(const std::string &path, const std::string &what, double seconds,
                     int count = 1);

SimRun RunKestraSim(const std::string &binary, const std::vector<std::string> &args,
                    double timeLimitSeconds);

// A kestra-sim run in the background, watched while it goes.
class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();  // a run still going is killed
  SimProcess(const SimProcess &) = delete;
  SimProcess &operator=(const SimProcess &) = delete;

  bool Start(const std::string &binary, const std::vector<std::string> &args);
  std::string Output() const;
  // True once the output holds `what` at least `count` times.
  bool WaitForOutput(const std::string &what, double seconds, int count = 1) const;
  // Waits for the exit; the exit status, -1 when the run had to be killed.
  int Wait(double seconds);
  // Asks for an orderly stop (as Ctrl-C does) and waits for the exit.
  int Stop(double seconds);
  bool Running() const { return pid_ > 0; }
  double Seconds() const { return seconds_; }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  double started_ = 0, seconds_ = 0;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::string output_;
};
