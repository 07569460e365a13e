#include "amplifier/framing.h"

#include <cstdio>

uint8_t Sys_Crc8Calculation(const char *data, size_t length) {
  uint8_t crc = 0;
  for (size_t i = 0; i < length; i++) {
    uint8_t byte = static_cast<uint8_t>(data[i]);
    for (int bit = 0; bit < 8; bit++) {
      bool mix = (crc ^ byte) & 1;
      crc >>= 1;
      if (mix) crc ^= 0x8C;
      byte >>= 1;
    }
  }
  return crc;
}

int charToInt(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

namespace {
std::string Frame(const std::string &text, const char *digitFormat) {
  char digits[3];
  snprintf(digits, sizeof digits, digitFormat, Sys_Crc8Calculation(text.data(), text.size()));
  return digits + text;
}
}  // namespace

std::string FrameCommand(const std::string &text) { return Frame(text, "%02x"); }

std::string FrameReply(const std::string &text) { return Frame(text, "%02X"); }

bool FrameCrcMatches(const char *frame, size_t length) {
  if (length < 3) return false;
  char digits[3];
  snprintf(digits, sizeof digits, "%02X", Sys_Crc8Calculation(frame + 2, length - 2));
  return frame[0] == digits[0] && frame[1] == digits[1];
}
