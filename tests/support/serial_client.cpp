#include "tests/support/serial_client.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/serial_port.h"

SerialClient::SerialClient(const std::string &path) {
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd_ < 0) return;
  SetRawSerialLine(fd_, B115200, false);
}

SerialClient::~SerialClient() {
  if (fd_ >= 0) close(fd_);
}

bool SerialClient::Send(const std::string &bytes) {
  return fd_ >= 0 && SerialWriteAll(fd_, bytes.data(), bytes.size());
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
