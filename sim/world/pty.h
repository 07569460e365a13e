#pragma once
// A pseudo-terminal standing in for a serial device. The simulated device
// holds the master end; the unit opens the other end through a link at the
// device path, and the same termios code as on the target runs against it.
#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>

class PtyPort {
 public:
  PtyPort() = default;
  ~PtyPort();
  PtyPort(const PtyPort &) = delete;
  PtyPort &operator=(const PtyPort &) = delete;

  // Creates the terminal and the link `path` to it (a stale link is replaced).
  bool Open(const std::string &path, std::string &error);
  void Close();
  bool IsOpen() const { return master_ >= 0; }
  const std::string &Path() const { return path_; }

  // True when the unit has set its end to `speed`, 8 data bits, no parity and
  // one or two stop bits; bytes on a line set otherwise would be garbled.
  bool LineIs(speed_t speed, bool twoStopBits) const;
  // Bytes sent that the unit has not read yet.
  int PendingForUnit() const;

  // Reads what the unit wrote, waiting up to `timeoutMs`; 0 when nothing came.
  int Read(uint8_t *buf, size_t n, int timeoutMs);
  // Sends bytes to the unit, paced at the line's speed when `pace` is set.
  // False when the unit does not take them.
  bool Write(const uint8_t *data, size_t len, bool pace);
  bool Write(const std::string &text, bool pace) {
    return Write(reinterpret_cast<const uint8_t *>(text.data()), text.size(), pace);
  }

 private:
  double SecondsPerByte() const;
  int master_ = -1;
  int slave_ = -1;  // held so that the line stays up while the unit has it closed
  std::string path_;
};
