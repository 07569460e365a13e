#include "codec/jpeg/huffman_decoder.h"

#include <cstring>

namespace jpegdec {

bool HuffmanTable::build(const uint8_t counts[16], const uint8_t *symbols, int numSymbols) {
  defined = false;
  if (numSymbols < 0 || numSymbols > 256) return false;
  std::memcpy(symbols_, symbols, size_t(numSymbols));
  std::memset(fast, 0, sizeof fast);
  std::memset(fastAc, 0, sizeof fastAc);

  uint32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16; len++) {
    int n = counts[len - 1];
    offset_[len] = k - int(code);
    if (code + uint32_t(n) > (1u << len)) return false;  // more codes than the length holds
    for (int i = 0; i < n; i++, k++, code++) {
      if (len > kFastBits) continue;
      int shift = kFastBits - len;
      for (uint32_t fill = 0; fill < (1u << shift); fill++)
        fast[(code << shift) | fill] = uint16_t(len << 8 | symbols_[k]);
    }
    limit_[len] = code << (16 - len);
    code <<= 1;
  }
  limit_[17] = 0xFFFFFFFFu;  // stops the long-code search
  if (k != numSymbols) return false;

  for (uint32_t i = 0; i < (1u << kFastBits); i++) {
    if (!fast[i]) continue;
    int len = fast[i] >> 8, symbol = fast[i] & 0xFF;
    int run = symbol >> 4, size = symbol & 15;
    if (size == 0 || len + size > kFastBits) continue;
    uint32_t bits = (i >> (kFastBits - len - size)) & ((1u << size) - 1);
    fastAc[i] = extendValue(bits, size) * 65536 + run * 256 + len + size;
  }
  defined = true;
  return true;
}

int HuffmanTable::decodeLong(BitReader &in) const {
  uint32_t code = in.peek(16);
  int len = kFastBits + 1;
  while (code >= limit_[len]) len++;
  if (len > 16) return -1;
  in.consume(len);
  int index = int(code >> (16 - len)) + offset_[len];
  return symbols_[index & 0xFF];
}

}  // namespace jpegdec
