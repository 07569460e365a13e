#include "input/keyboard.h"

#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "input/keyboard_events.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "remote/remote_service.h"
#include "settings/setup_record.h"

namespace {
constexpr int SEARCH_SECONDS = 20;
// Reads wait this long at most, so that the thread sees the run flag drop.
constexpr int POLL_MILLIS = 200;
constexpr int WAIT_SLICE_MILLIS = 100;

enum class ReadEnd { Stopped, Exit, Lost };

bool Running(Works *works) { return works->core.running != 0; }

// Waits in slices so that a stop is not held up; false once it came.
bool Wait(Works *works, int seconds) {
  for (int i = 0; i < seconds * 1000 / WAIT_SLICE_MILLIS && Running(works); i++)
    SleepMillis(WAIT_SLICE_MILLIS);
  return Running(works);
}

std::string FindKeyboard() {
  glob_t found{};
  std::string path;
  if (glob(GetPaths().keyboardGlob.c_str(), 0, nullptr, &found) == 0 && found.gl_pathc > 0)
    path = found.gl_pathv[0];
  globfree(&found);
  return path;
}

int OpenKeyboard(const std::string &path) {
  // Non-blocking: the reads wait in poll(), never in open() or read().
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    LogSys(LOG_PRIO_ERR, "Cannot open %s, error %d -%s", path.c_str(), err, strerror(err));
    LogErr("Cannot open %s, error %d -%s\n", path.c_str(), err, strerror(err));
    return -1;
  }
  LogSys(LOG_PRIO_INFO, "Keyboard opened");
  LogErr("Keyboard opened\n");
  // Keeps its keys from the console; a device that cannot be grabbed is
  // still read.
  if (ioctl(fd, EVIOCGRAB, 1) != 0) {
    int err = errno;
    LogSys(LOG_PRIO_ERR, "Cannot grab %s, error %d -%s", path.c_str(), err, strerror(err));
  }
  RunShell("stty -echo");
  return fd;
}

// Looks every 20 s until a keyboard opens; -1 once the run flag drops.
int WaitForKeyboard(Works *works, std::string &path) {
  while (Running(works)) {
    path = FindKeyboard();
    if (!path.empty()) {
      int fd = OpenKeyboard(path);
      if (fd >= 0) return fd;
    }
    Wait(works, SEARCH_SECONDS);
  }
  return -1;
}

// True for F12, which ends the program.
bool RunServiceKey(Works *works, ServiceKey key) {
  switch (key) {
    case ServiceKey::Screenshot:
      LogSys(LOG_PRIO_INFO, "launching screenshot");
      RunShell("fbgrab " + GetPaths().screenshotFile + " >/dev/null 2>&1 </dev/null");
      LogSys(LOG_PRIO_INFO, "launched screenshot");
      return false;
    case ServiceKey::Exit:
      LogSys(LOG_PRIO_INFO, "Exited by KEY_F12");
      works->core.running = 0;
      return true;
    case ServiceKey::SaveSetup:
      LogSys(LOG_PRIO_INFO, "Save setup");
      writeSetup(works);
      return false;
    case ServiceKey::RemoteService:
      RemoteConnection();
      works->input.ctrlFlags.fetch_or(CTRL_REMOTE_SERVICE);
      return false;
    case ServiceKey::None:
      return false;
  }
  return false;
}

// A keyboard that went away (unplugged: end of file or an error) is logged
// once and searched for again, instead of failing every read.
ReadEnd Lost(const std::string &path, int err) {
  LogSys(LOG_PRIO_ERR, "error reading %s, error %d -%s", path.c_str(), err, strerror(err));
  return ReadEnd::Lost;
}

ReadEnd ReadKeyboard(Works *works, int fd, const std::string &path) {
  InputEventBuffer buffer;
  while (Running(works)) {
    pollfd ready{fd, POLLIN, 0};
    int n = poll(&ready, 1, POLL_MILLIS);
    if (n < 0 && errno != EINTR) return Lost(path, errno);
    if (n <= 0) continue;
    ssize_t got = read(fd, buffer.Rest(), buffer.RestSize());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return Lost(path, got == 0 ? ENODEV : errno);
    if (buffer.Filled(size_t(got)) && RunServiceKey(works, ServiceKeyOf(buffer.ev)))
      return ReadEnd::Exit;
  }
  return ReadEnd::Stopped;
}
}  // namespace

void keyb(Works *works) {
  LogErr("keyb open..\n");
  LogErr("****************************************\n");
  LogSys(LOG_PRIO_INFO, "Keyboard function entered");
  std::string path;
  for (int fd; (fd = WaitForKeyboard(works, path)) >= 0;) {
    LogSys(LOG_PRIO_INFO, "Continuous keyboard loop started, please end using Control C\n");
    LogErr("Continuous keyboard loop started, please end using Control C\n");
    ReadEnd end = ReadKeyboard(works, fd, path);
    close(fd);
    if (end == ReadEnd::Exit) {
      RunShell("stty sane");
      RunShell("tput clear");
      return;
    }
    // The same device may still be listed for a moment after it failed.
    if (end == ReadEnd::Lost) Wait(works, SEARCH_SECONDS);
  }
  RunShell("stty sane");
}
