#pragma once
// Feeding replies to the link's receive path without a port, and building
// them as the amplifier sends them.
#include <cstdio>
#include <string>
#include <vector>

#include "amplifier/cmd_queue.h"
#include "amplifier/framing.h"
#include "amplifier/link.h"
#include "core/works.h"

// Every byte of `frame` into the receive path, then the decoding.
inline void FeedFrame(Works *works, const std::string &frame) {
  works->link.linearProcessStatus = 2;
  for (char c : frame) AcceptReplyByte(works, c);
  if (works->link.linearProcessStatus == 3) DecodeLinearReply(works);
}

// A reply framed with the amplifier's upper-case CRC.
inline void FeedReply(Works *works, const std::string &text) { FeedFrame(works, FrameReply(text)); }

struct StatusReading {
  int a = 0, b = 0;
  int pwin = 0, fwd = 0, refl = 0, current = 0;
  int temp1 = 2048, temp2 = 2048;  // about 25 degrees
  int c = 0;
  int peak = 0;
};

// "ST" with the fields at their positions; statusC is sent low nibble first.
inline std::string StatusText(const StatusReading &r) {
  char text[64];
  snprintf(text, sizeof text, "ST%X%X%04d%04d%04d%04d%04d%04d%X%X00%04d;", r.a, r.b, r.pwin, r.fwd,
           r.refl, r.current, r.temp1, r.temp2, r.c & 0xF, (r.c >> 4) & 0xF, r.peak);
  return text;
}

inline std::vector<int32_t> TakeQueued(Works *works) {
  std::vector<int32_t> cmds;
  for (int32_t c; TakeCmdLinear(works, c);) cmds.push_back(c);
  return cmds;
}
