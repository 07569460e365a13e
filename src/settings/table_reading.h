#pragma once
// Reading the calibration, fan and filter tables: the data lines of a file
// and the numbers of one line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

constexpr int TABLE_LINE_MAX = 512;

// Data lines (all but the comments) from the current position to the end, read
// through a buffer of `lineSize` (at most TABLE_LINE_MAX) as the parse reads them.
int CountTableDataLines(FILE *in, int lineSize);

// Numbers of one line, parsed in sequence: each parse starts where the
// previous one stopped, and a missing number reads as 0.
class TableNumbers {
 public:
  explicit TableNumbers(const char *line) : at_(line) {}

  // Decimal, "0x" hexadecimal or leading-"0" octal.
  uint32_t AnyBase() { return static_cast<uint32_t>(Take(strtoul(at_, &end_, 0))); }
  int32_t Decimal() { return static_cast<int32_t>(Take(strtol(at_, &end_, 10))); }
  float Real() { return Take(strtof(at_, &end_)); }

 private:
  template <typename T>
  T Take(T value) {
    at_ = end_;
    return value;
  }
  const char *at_;
  char *end_ = nullptr;
};
