#pragma once
// A plain termios client of a serial port (raw, 115200 baud), as an outside
// program would open a simulated device's port.
#include <string>

class SerialClient {
 public:
  explicit SerialClient(const std::string &path);
  ~SerialClient();
  SerialClient(const SerialClient &) = delete;
  SerialClient &operator=(const SerialClient &) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  bool Send(const std::string &bytes);
  // Everything up to and including the next ';' (bounded so a missing reply
  // fails the test instead of hanging it); "" when none came.
  std::string ReadFrame(int limitMs = 5000);
  std::string Ask(const std::string &frame) { return Send(frame) ? ReadFrame() : ""; }

 private:
  int fd_ = -1;
};
