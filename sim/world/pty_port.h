#pragma once
// The serial port of a simulated device: a pseudo-terminal whose far end is
// linked at a path in the sandbox (for example <root>/dev/ttyAMA0), so that
// the controller's own termios code opens it like the real line. The device
// keeps the far end open as well, so the port survives the controller
// closing and reopening it.
#include <string>

// Time of one byte on an 8N1 line.
constexpr double ByteMicros(int baud) { return 10 * 1e6 / baud; }

class PtyPort {
 public:
  PtyPort() = default;
  ~PtyPort();
  PtyPort(const PtyPort &) = delete;
  PtyPort &operator=(const PtyPort &) = delete;

  // Opens the pair in raw mode and links the far end at `linkPath`,
  // replacing a stale link. False with a reason.
  bool Open(const std::string &linkPath, std::string &error);
  void Close();

  // Waits up to `timeoutMs` for bytes and appends what arrived.
  void Read(std::string &out, int timeoutMs);
  // Writes every byte, one per byte time when pacing is set; false when the
  // other side stops taking them.
  bool Write(const std::string &bytes);
  // 0 writes as fast as the pseudo-terminal takes the bytes.
  void SetByteMicros(double micros) { byteMicros_ = micros; }

  const std::string &DeviceName() const { return device_; }

 private:
  bool WriteSome(const char *data, size_t length, size_t &written);
  int master_ = -1;
  int far_ = -1;  // held open so the line stays up between the controller's opens
  std::string link_;
  std::string device_;
  double byteMicros_ = 0;
};
