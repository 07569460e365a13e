#include "sim/world/pty.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {
constexpr double PACE_SLICE_S = 0.01;  // paced bytes go out in slices of this much line time
constexpr int WRITE_WAIT_MS = 200;

long Baud(speed_t speed) {
  switch (speed) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 9600;
  }
}
}  // namespace

PtyPort::~PtyPort() { Close(); }

bool PtyPort::Open(const std::string &path, std::string &error) {
  Close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + strerror(errno);
    Close();
    return false;
  }
  const char *name = ptsname(master_);
  slave_ = name ? open(name, O_RDWR | O_NOCTTY) : -1;
  if (slave_ < 0) {
    error = std::string("cannot open the pseudo-terminal's other end: ") + strerror(errno);
    Close();
    return false;
  }
  // Raw and slow until the unit sets the line: no echo of what we send.
  termios line;
  tcgetattr(slave_, &line);
  cfmakeraw(&line);
  cfsetspeed(&line, B9600);
  tcsetattr(slave_, TCSANOW, &line);
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  fs::remove(path, ec);
  fs::create_symlink(name, path, ec);
  if (ec) {
    error = "cannot link " + path + ": " + ec.message();
    Close();
    return false;
  }
  path_ = path;
  return true;
}

void PtyPort::Close() {
  if (!path_.empty()) {
    std::error_code ec;
    fs::remove(path_, ec);
    path_.clear();
  }
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
  slave_ = master_ = -1;
}

bool PtyPort::LineIs(speed_t speed, bool twoStopBits) const {
  termios line;
  if (slave_ < 0 || tcgetattr(slave_, &line) != 0) return false;
  return cfgetospeed(&line) == speed && cfgetispeed(&line) == speed &&
         (line.c_cflag & CSIZE) == CS8 && !(line.c_cflag & PARENB) &&
         bool(line.c_cflag & CSTOPB) == twoStopBits;
}

int PtyPort::PendingForUnit() const {
  int pending = 0;
  if (slave_ < 0 || ioctl(slave_, FIONREAD, &pending) != 0) return 0;
  return pending;
}

int PtyPort::Read(uint8_t *buf, size_t n, int timeoutMs) {
  if (master_ < 0) return 0;
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) return 0;
  ssize_t r = read(master_, buf, n);
  return r > 0 ? static_cast<int>(r) : 0;
}

double PtyPort::SecondsPerByte() const {
  termios line;
  if (slave_ < 0 || tcgetattr(slave_, &line) != 0) return 0;
  int bits = 1 + 8 + ((line.c_cflag & PARENB) ? 1 : 0) + ((line.c_cflag & CSTOPB) ? 2 : 1);
  return double(bits) / double(Baud(cfgetospeed(&line)));
}

bool PtyPort::Write(const uint8_t *data, size_t len, bool pace) {
  if (master_ < 0) return false;
  double perByte = pace ? SecondsPerByte() : 0;
  size_t chunk = perByte > 0 ? std::max<size_t>(1, size_t(PACE_SLICE_S / perByte)) : len;
  while (len > 0) {
    size_t part = len < chunk ? len : chunk;
    ssize_t n = write(master_, data, part);
    if (n < 0 && errno == EAGAIN) {
      pollfd p{master_, POLLOUT, 0};
      if (poll(&p, 1, WRITE_WAIT_MS) <= 0) return false;
      continue;
    }
    if (n <= 0) return false;
    data += n;
    len -= static_cast<size_t>(n);
    if (perByte > 0) std::this_thread::sleep_for(std::chrono::duration<double>(perByte * n));
  }
  return true;
}
