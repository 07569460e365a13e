// The simulated amplifier's command parser: any byte stream is cut into
// frames and every frame gets one well-framed reply of bounded length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "amplifier/framing.h"
#include "sim/amplifier/firmware.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  AmpFirmware firmware;
  firmware.Model().SetRf({true, 7100000, 5});
  FrameSplitter splitter;
  std::string frame;
  for (size_t i = 0; i < size; i++) {
    if (!splitter.Push(static_cast<char>(data[i]), frame)) continue;
    if (frame.size() > MAX_FRAME_BYTES) abort();
    std::string reply = firmware.Reply(frame);
    bool framed = reply.size() >= 5 && reply.size() <= 80 && reply.back() == ';' &&
                  FrameCrcMatches(reply.data(), reply.size());
    if (!framed) abort();
    firmware.Model().Advance(0.05);
  }
  return 0;
}
