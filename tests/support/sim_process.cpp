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

// Runs the program in a session of its own, as the service runs on the
// target: busy processes of the test's session do not share its slice of
// the processor. The session's leader is a shell that only passes stop
// signals on to the program (not to its outside programs: a "my_temp" that a
// stop ended would end the unit), waits for it and exits as it did, so that
// the program, not a session leader, opens the serial ports: a session
// leader would take one as its controlling terminal. The forked child calls
// nothing but setsid and exec, as a multi-threaded test process requires
// (under the thread sanitizer, a leader that ran our own code after such a
// fork never passed its signals on).
const char LEADER_SCRIPT[] =
    "trap 'kill -TERM $p' TERM; trap 'kill -INT $p' INT; \"$@\" & p=$!; "
    "while :; do wait $p; s=$?; kill -0 $p 2>/dev/null || break; done; exit $s";

[[noreturn]] void RunInOwnSession(char *const *argv) {
  setsid();
  execv("/bin/sh", argv);
  _exit(127);
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
  std::vector<char *> argv{const_cast<char *>("sh"), const_cast<char *>("-c"),
                           const_cast<char *>(LEADER_SCRIPT), const_cast<char *>("sh"),
                           const_cast<char *>(binary.c_str())};
  for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child == 0) {
    dup2(pipeFd[1], 1);
    dup2(pipeFd[1], 2);
    close(pipeFd[0]);
    RunInOwnSession(argv.data());
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

std::string Tail(const std::string &text) {
  return text.substr(text.size() > 16000 ? text.size() - 16000 : 0);
}

bool WaitForFileText(const std::string &path, const std::string &what, double seconds, int count) {
  return WaitUntil([&] { return CountOf(ReadTextFile(path), what) >= count; }, seconds, 100);
}
