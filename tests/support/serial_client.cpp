#include "tests/support/serial_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

SerialClient::SerialClient(const std::string &path) {
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd_ < 0) return;
  termios t{};
  tcgetattr(fd_, &t);
  cfmakeraw(&t);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  t.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd_, TCSANOW, &t);
  tcflush(fd_, TCIFLUSH);
}

SerialClient::~SerialClient() {
  if (fd_ >= 0) close(fd_);
}

bool SerialClient::Send(const std::string &bytes) {
  size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += size_t(n);
  }
  return done == bytes.size();
}

std::string SerialClient::ReadFrame(int limitMs) {
  std::string out;
  const int sliceMs = 50;
  for (int waited = 0; fd_ >= 0 && waited < limitMs;) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, sliceMs) <= 0) {
      waited += sliceMs;
      continue;
    }
    char c;
    if (read(fd_, &c, 1) != 1) break;
    out += c;
    if (c == ';') return out;
  }
  return out;
}
