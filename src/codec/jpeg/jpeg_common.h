#pragma once
// Definitions shared by the encoder and the decoder.
#include <cstdint>

namespace jpegcommon {

// Natural (row-major) index of each coefficient in zig-zag order.
inline constexpr uint8_t ZIGZAG[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The separable 8-point DCT in 13-bit fixed point, shared by the forward
// and the inverse transform; the first pass keeps kPass1Bits of extra
// precision.
inline constexpr int kConstBits = 13;
inline constexpr int kPass1Bits = 2;
inline constexpr int32_t FIX_0_298631336 = 2446;
inline constexpr int32_t FIX_0_390180644 = 3196;
inline constexpr int32_t FIX_0_541196100 = 4433;
inline constexpr int32_t FIX_0_765366865 = 6270;
inline constexpr int32_t FIX_0_899976223 = 7373;
inline constexpr int32_t FIX_1_175875602 = 9633;
inline constexpr int32_t FIX_1_501321110 = 12299;
inline constexpr int32_t FIX_1_847759065 = 15137;
inline constexpr int32_t FIX_1_961570560 = 16069;
inline constexpr int32_t FIX_2_053119869 = 16819;
inline constexpr int32_t FIX_2_562915447 = 20995;
inline constexpr int32_t FIX_3_072711026 = 25172;

// x / 2^n rounded to nearest.
constexpr int32_t descale(int32_t x, int n) { return (x + (1 << (n - 1))) >> n; }

// Marker codes (the byte after 0xFF).
enum Marker : uint8_t {
  kSof0 = 0xC0,  // baseline sequential
  kSof1 = 0xC1,  // extended sequential, Huffman
  kSof2 = 0xC2,  // progressive, Huffman
  kSof3 = 0xC3,  // lossless
  kDht = 0xC4,
  kSof15 = 0xCF,  // last of the hierarchical and arithmetic frame types
  kDac = 0xCC,
  kRst0 = 0xD0,
  kRst7 = 0xD7,
  kSoi = 0xD8,
  kEoi = 0xD9,
  kSos = 0xDA,
  kDqt = 0xDB,
  kDri = 0xDD,
  kDhp = 0xDE,
  kExp = 0xDF,
  kApp0 = 0xE0,
  kTem = 0x01,
};

}  // namespace jpegcommon
