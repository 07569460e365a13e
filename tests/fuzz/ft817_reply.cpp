// Decodes the input as a run of FT-817 replies of five bytes (the last one
// possibly short).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "transceiver/cat_serial.h"

namespace {
void NoSleep(int64_t) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  auto works = std::make_unique<Works>();
  LogCapture quiet;
  ClockSource previous = SetClockSource(
      {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, NoSleep});
  for (size_t at = 0; at < size; at += FT817_FRAME_BYTES) {
    size_t left = size - at;
    lastCommandSent = 3;
    DecodeCatSerialCmd(works.get(), data + at, left < FT817_FRAME_BYTES ? left : FT817_FRAME_BYTES);
    int32_t freq = works->trx.catFreq;
    if (freq < 0 || freq > 999999990) __builtin_trap();  // eight BCD digits of 10 Hz
  }
  SetClockSource(previous);
  return 0;
}
