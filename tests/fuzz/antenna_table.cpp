// Antenna table files are edited by hand: any bytes must read into at most
// eleven well-formed rows, and what is read must write and read back alike.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tuner/bank_files.h"

namespace {
int Read(const void *data, size_t size, AntennaRow *rows, int &nRows) {
  FILE *in = fmemopen(const_cast<void *>(data), size, "r");
  if (!in) abort();
  int mode = ReadAntennaTable(in, rows, nRows);
  fclose(in);
  return mode;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  AntennaRow rows[ANTENNA_ROWS]{};
  int nRows = -1;
  int mode = Read(data, size, rows, nRows);
  if (nRows < 0 || nRows > ANTENNA_ROWS || mode < 0 || mode > 2) abort();
  for (const AntennaRow &r : rows)
    if (memchr(r.Band, '\0', sizeof r.Band) == nullptr) abort();
  std::string text = FormatAntennaTable(rows, nRows, mode);
  AntennaRow again[ANTENNA_ROWS]{};
  int nAgain = -1;
  if (Read(text.data(), text.size(), again, nAgain) != mode || nAgain > nRows) abort();
  return 0;
}
