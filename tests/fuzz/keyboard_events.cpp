// Feeds the bytes to the keyboard's event buffer in reads of varying size
// (each read's size is taken from the input) and classifies every whole event.
#include "input/keyboard_events.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  InputEventBuffer buffer;
  size_t at = 0;
  while (at < size) {
    size_t want = data[at++] % 32 + 1;
    size_t n = want < buffer.RestSize() ? want : buffer.RestSize();
    if (n > size - at) n = size - at;
    memcpy(buffer.Rest(), data + at, n);
    at += n;
    if (buffer.Filled(n)) ServiceKeyOf(buffer.ev);
    if (buffer.have >= sizeof buffer.ev) __builtin_trap();
  }
  return 0;
}
