#include "platform/serial_port.h"

#include <errno.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

#include "core/clock.h"

bool SetRawSerialLine(int fd, speed_t speed, bool twoStopBits) {
  termios line;
  memset(&line, 0, sizeof line);
  line.c_iflag = IGNPAR;
  line.c_cflag = CS8 | CLOCAL | CREAD | (twoStopBits ? CSTOPB : 0);
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  cfsetispeed(&line, speed);
  cfsetospeed(&line, speed);
  tcflush(fd, TCIFLUSH);
  return tcsetattr(fd, TCSANOW, &line) == 0;
}

int SerialBytesWaiting(int fd) {
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) != 0) return 0;
  return waiting;
}

bool SerialWriteAll(int fd, const void *data, size_t len) {
  const char *p = static_cast<const char *>(data);
  while (len > 0) {
    ssize_t n = write(fd, p, len);
    if (n > 0) {
      p += n;
      len -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    SleepMillis(1);  // the line is full (or took nothing): give it a moment
  }
  return true;
}
