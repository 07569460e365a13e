#include "tests/support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
// Runs the program in a session of its own, as the service runs on the
// target: busy processes of the test's session do not share its slice of
// the processor. The session's leader only waits for it and exits as it
// did, so that the program, not a session leader, opens the serial ports
// (a session leader would take one as its controlling terminal).
[[noreturn]] void RunInOwnSession(const std::string &binary, std::vector<char *> &argv) {
  setsid();
  pid_t program = fork();
  if (program == 0) {
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (program < 0 || waitpid(program, &status, 0) != program) _exit(127);
  if (WIFEXITED(status)) _exit(WEXITSTATUS(status));
  _exit(128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0));
}
}  // namespace

SimRun RunKestraSim(const std::string &binary, const std::vector<std::string> &args,
                    double timeLimitSeconds) {
  SimRun run;
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return run;
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    dup2(pipeFd[1], 1);
    dup2(pipeFd[1], 2);
    close(pipeFd[0]);
    std::vector<char *> argv{const_cast<char *>(binary.c_str())};
    for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    RunInOwnSession(binary, argv);
  }
  close(pipeFd[1]);
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  bool killed = false;
  for (;;) {
    pollfd p{pipeFd[0], POLLIN, 0};
    int ready = poll(&p, 1, 100);
    if (ready > 0) {
      char buf[4096];
      ssize_t n = read(pipeFd[0], buf, sizeof buf);
      if (n <= 0) break;
      run.output.append(buf, n);
    }
    if (!killed && elapsed() > timeLimitSeconds) {
      kill(-child, SIGKILL);  // the session's process group, the unit with it
      killed = true;
    }
  }
  close(pipeFd[0]);
  int status = 0;
  waitpid(child, &status, 0);
  run.seconds = elapsed();
  run.exitStatus = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string FreshSimRoot(const std::string &name) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / ("kestra-system-" + name + "-XXXXXX")).string();
  char *made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

std::string ReadTextFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
