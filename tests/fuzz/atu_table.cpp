// ATU table files: any bytes must read without a write outside the 5000
// entries, and the table read must write back as lines that read the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tuner/bank_files.h"

namespace {
std::unique_ptr<TuneEntry[]> Read(const void *data, size_t size) {
  auto table = std::make_unique<TuneEntry[]>(TUNE_MEM_SIZE);
  if (size == 0) return table;
  FILE *in = fmemopen(const_cast<void *>(data), size, "r");
  if (!in) abort();
  ReadAtuTable(in, table.get());
  fclose(in);
  return table;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  auto table = Read(data, size);
  std::string text = FormatAtuTable(table.get());
  auto again = Read(text.data(), text.size());
  for (int i = 0; i < TUNE_MEM_SIZE; i++) {
    if (!table[i].valid) continue;
    if (memcmp(&table[i], &again[i], sizeof(TuneEntry)) != 0) abort();
  }
  return 0;
}
