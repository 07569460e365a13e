#pragma once
// Framing of the amplifier link: two hexadecimal CRC digits, then the text,
// which ends with ';'.
#include <cstddef>
#include <cstdint>
#include <string>

// CRC-8/MAXIM (1-Wire): initial 0, reflected polynomial 0x8C, no final XOR.
uint8_t Sys_Crc8Calculation(const char *data, size_t length);

// Value of one hexadecimal digit, or −1.
int charToInt(char c);

// "ST;" -> "4dST;" (the controller writes its CRC in lower case).
std::string FrameCommand(const std::string &text);

// "ST..;" -> "XXST..;" with the CRC in upper case, as the amplifier sends it.
std::string FrameReply(const std::string &text);

// True when the two digits in front of `frame` are the upper-case CRC of the
// text after them (lower-case digits do not match).
bool FrameCrcMatches(const char *frame, size_t length);
