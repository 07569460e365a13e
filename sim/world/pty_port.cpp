#include "sim/world/pty_port.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "core/clock.h"

namespace fs = std::filesystem;

namespace {
constexpr int WRITE_WAIT_MS = 100;
constexpr int WRITE_WAIT_TRIES = 10;  // a second without the other side reading

bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  t.c_cflag |= CLOCAL | CREAD;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool CloseOnExec(int fd) { return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0; }

// Replaces a link left by an earlier run; anything else at the path stays.
bool PlaceLink(const std::string &target, const std::string &link, std::string &error) {
  std::error_code ec;
  fs::create_directories(fs::path(link).parent_path(), ec);
  auto status = fs::symlink_status(link, ec);
  if (fs::exists(status)) {
    if (!fs::is_symlink(status)) {
      error = link + " exists and is not a link";
      return false;
    }
    fs::remove(link, ec);
  }
  fs::create_symlink(target, link, ec);
  if (ec) {
    error = "cannot link " + link + ": " + ec.message();
    return false;
  }
  return true;
}
}  // namespace

PtyPort::~PtyPort() { Close(); }

bool PtyPort::Open(const std::string &linkPath, std::string &error) {
  Close();
  if (openpty(&master_, &far_, nullptr, nullptr, nullptr) != 0) {
    error = std::string("openpty: ") + strerror(errno);
    return false;
  }
  char name[128];
  bool ok = ptsname_r(master_, name, sizeof name) == 0 && MakeRaw(far_) && CloseOnExec(master_) &&
            CloseOnExec(far_) && fcntl(master_, F_SETFL, O_NONBLOCK) == 0;
  if (!ok) {
    error = std::string("pseudo-terminal set-up: ") + strerror(errno);
    Close();
    return false;
  }
  device_ = name;
  if (!PlaceLink(device_, linkPath, error)) {
    Close();
    return false;
  }
  link_ = linkPath;
  return true;
}

void PtyPort::Close() {
  if (!link_.empty()) {
    std::error_code ec;
    if (fs::read_symlink(link_, ec) == device_) fs::remove(link_, ec);
    link_.clear();
  }
  for (int *fd : {&master_, &far_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  device_.clear();
}

void PtyPort::Read(std::string &out, int timeoutMs) {
  if (master_ < 0) return;
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) return;
  char buf[256];
  ssize_t n = read(master_, buf, sizeof buf);
  if (n > 0) out.append(buf, size_t(n));
}

bool PtyPort::WriteSome(const char *data, size_t length, size_t &written) {
  for (int tries = 0; tries < WRITE_WAIT_TRIES;) {
    ssize_t n = write(master_, data, length);
    if (n > 0) {
      written = size_t(n);
      return true;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd p{master_, POLLOUT, 0};
    if (poll(&p, 1, WRITE_WAIT_MS) <= 0) tries++;
  }
  return false;
}

bool PtyPort::Write(const std::string &bytes) {
  if (master_ < 0) return false;
  int64_t start = MonotonicMicros();
  for (size_t done = 0; done < bytes.size();) {
    size_t chunk = bytes.size() - done;
    if (byteMicros_ > 0) {
      // One byte per byte time, catching up after a late wake-up.
      int64_t due = start + std::llround(done * byteMicros_);
      int64_t left = due - MonotonicMicros();
      if (left > 0) SleepMicros(left);
      chunk = 1;
    }
    size_t written = 0;
    if (!WriteSome(bytes.data() + done, chunk, written)) return false;
    done += written;
  }
  return true;
}
