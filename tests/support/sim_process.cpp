#include "tests/support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/wait.h"

namespace {
double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The program a session's leader runs; stop signals go on to it alone (not
// to its outside programs: a "my_temp" that a stop ended would end the unit).
pid_t sessionProgram = 0;
void ForwardStop(int sig) { kill(sessionProgram, sig); }

// Runs the program in a session of its own, as the service runs on the
// target: busy processes of the test's session do not share its slice of
// the processor. The session's leader only passes stop signals on, waits
// for the program and exits as it did, so that the program, not a session
// leader, opens the serial ports: a session leader would take one as its
// controlling terminal.
[[noreturn]] void RunInOwnSession(const std::string &binary, std::vector<char *> &argv) {
  setsid();
  pid_t program = fork();
  if (program == 0) {
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  sessionProgram = program;
  signal(SIGTERM, ForwardStop);
  signal(SIGINT, ForwardStop);
  int status = 0;
  pid_t waited;
  while ((waited = waitpid(program, &status, 0)) < 0 && errno == EINTR) {
  }
  if (program < 0 || waited != program) _exit(127);
  if (WIFEXITED(status)) _exit(WEXITSTATUS(status));
  _exit(128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0));
}
}  // namespace

SimRun RunKestraSim(const std::string &binary, const std::vector<std::string> &args,
                    double timeLimitSeconds) {
  SimProcess process;
  SimRun run;
  if (!process.Start(binary, args)) return run;
  run.exitStatus = process.Wait(timeLimitSeconds);
  run.output = process.Output();
  run.seconds = process.Seconds();
  return run;
}

SimProcess::~SimProcess() {
  if (pid_ > 0) Wait(0);
}

bool SimProcess::Start(const std::string &binary, const std::vector<std::string> &args) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return false;
  started_ = Now();
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
  if (child < 0) {
    close(pipeFd[0]);
    return false;
  }
  // Signals go to the program's session: it exists once the child has made it.
  WaitUntil([&] { return getsid(child) == child; }, 10, 1);
  pid_ = child;
  fd_ = pipeFd[0];
  reader_ = std::thread([this] {
    char buf[4096];
    ssize_t n;
    while ((n = read(fd_, buf, sizeof buf)) > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      output_.append(buf, n);
    }
  });
  return true;
}

std::string SimProcess::Output() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return output_;
}

bool SimProcess::WaitForOutput(const std::string &what, double seconds, int count) const {
  return WaitUntil([&] { return CountOf(Output(), what) >= count; }, seconds, 50);
}

int SimProcess::Wait(double seconds) {
  if (pid_ <= 0) return -1;
  int status = 0;
  bool exited = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds, 20);
  if (!exited) {
    kill(-pid_, SIGKILL);  // the session's process group: the program with its leader
    waitpid(pid_, &status, 0);
  }
  reader_.join();  // the pipe ends with the child
  close(fd_);
  pid_ = -1;
  seconds_ = Now() - started_;
  return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SimProcess::Stop(double seconds) {
  if (pid_ > 0) kill(pid_, SIGTERM);  // the session's leader passes it on
  return Wait(seconds);
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

int CountOf(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

bool WaitForFileText(const std::string &path, const std::string &what, double seconds, int count) {
  return WaitUntil([&] { return CountOf(ReadTextFile(path), what) >= count; }, seconds, 100);
}
