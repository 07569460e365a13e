#pragma once
// The termios set-up and byte moves shared by the program's serial links.
#include <termios.h>

#include <cstddef>

// Raw line: every flag cleared except IGNPAR and CS8 | CLOCAL | CREAD (and
// CSTOPB for two stop bits); VMIN 1, VTIME 0; `speed` in and out. Pending
// input is flushed, then the setting is applied at once. False when it fails.
bool SetRawSerialLine(int fd, speed_t speed, bool twoStopBits);

// Bytes waiting to be read (FIONREAD); 0 when none or when the ask fails.
int SerialBytesWaiting(int fd);

// Writes all `len` bytes, repeating partial and interrupted writes. A closed
// or broken descriptor ends the attempt (false) instead of spinning on it.
bool SerialWriteAll(int fd, const void *data, size_t len);
