#pragma once
// Decoding the amplifier's replies into the record; the decoder also chooses
// the link's next state.
#include <string>

struct Works;

// `text` starts at the reply's first letter; `count` is the number of bytes
// received, the two CRC digits included.
void DecodeCatCmd(Works *works, const char *text, int count);

// SWR from forward and reflected power: 0 with no power, up to 100.
float CalcSWR(float fwd, float refl);

// The reply texts, copied under their lock.
std::string GetFirmwareVersion(Works *works);
std::string GetGenericSettings(Works *works);
