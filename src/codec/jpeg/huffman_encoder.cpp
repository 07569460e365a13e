#include "codec/jpeg/huffman_encoder.h"

#include <cstring>

#include "codec/jpeg/jpeg_encoder.h"

namespace jpegenc {

int HuffmanSpec::count() const {
  int total = 0;
  for (int len = 1; len <= 16; len++) total += bits[len];
  return total;
}

void HuffmanCode::build(const HuffmanSpec &spec) {
  std::memset(size, 0, sizeof size);
  uint32_t next = 0;
  int k = 0;
  for (int len = 1; len <= 16; len++) {
    for (int i = 0; i < spec.bits[len]; i++) {
      uint8_t symbol = spec.values[k++];
      code[symbol] = uint16_t(next++);
      size[symbol] = uint8_t(len);
    }
    next <<= 1;
  }
}

namespace {

constexpr int kSymbols = 257;  // 256 is reserved so that no code is all 1-bits

// The two least frequent live symbols, or -1.
void findTwoLeast(const uint64_t freq[kSymbols], int &least, int &next) {
  least = next = -1;
  for (int i = 0; i < kSymbols; i++) {
    if (freq[i] == 0) continue;
    if (least < 0 || freq[i] <= freq[least]) {
      next = least;
      least = i;
    } else if (next < 0 || freq[i] <= freq[next]) {
      next = i;
    }
  }
}

// Huffman code length of every symbol (0 for absent ones).
void codeLengths(const SymbolCounts &counts, int codeSize[kSymbols]) {
  uint64_t freq[kSymbols];
  int others[kSymbols];
  for (int i = 0; i < 256; i++) freq[i] = counts.count[i];
  freq[256] = 1;
  for (int i = 0; i < kSymbols; i++) {
    codeSize[i] = 0;
    others[i] = -1;
  }
  for (;;) {
    int c1, c2;
    findTwoLeast(freq, c1, c2);
    if (c2 < 0) break;
    freq[c1] += freq[c2];
    freq[c2] = 0;
    // Every symbol in both merged trees moves one level down.
    codeSize[c1]++;
    while (others[c1] >= 0) {
      c1 = others[c1];
      codeSize[c1]++;
    }
    others[c1] = c2;
    codeSize[c2]++;
    while (others[c2] >= 0) {
      c2 = others[c2];
      codeSize[c2]++;
    }
  }
}

}  // namespace

void buildOptimalSpec(const SymbolCounts &counts, HuffmanSpec &spec) {
  int codeSize[kSymbols];
  codeLengths(counts, codeSize);
  int bits[kSymbols + 1] = {};
  int longest = 0;
  for (int i = 0; i < kSymbols; i++) {
    if (codeSize[i] == 0) continue;
    bits[codeSize[i]]++;
    if (codeSize[i] > longest) longest = codeSize[i];
  }
  // Shorten codes longer than 16 bits: two leaves at the deepest level move
  // up, one shorter leaf makes room for them one level further down.
  for (int i = longest; i > 16; i--) {
    while (bits[i] > 0) {
      int j = i - 2;
      while (bits[j] == 0) j--;
      bits[i] -= 2;
      bits[i - 1]++;
      bits[j + 1] += 2;
      bits[j]--;
    }
  }
  // Drop the reserved symbol's code, the longest one.
  int last = 16;
  while (bits[last] == 0) last--;
  bits[last]--;

  spec.bits[0] = 0;
  for (int len = 1; len <= 16; len++) spec.bits[len] = uint8_t(bits[len]);
  int k = 0;
  for (int len = 1; len <= longest; len++) {
    for (int symbol = 0; symbol < 256; symbol++) {
      if (codeSize[symbol] == len) spec.values[k++] = uint8_t(symbol);
    }
  }
}

void EntropyWriter::start(OutputStream *stream) {
  stream_ = stream;
  acc_ = 0;
  count_ = 0;
  used_ = 0;
  ok_ = true;
}

void EntropyWriter::putBytes(const uint8_t *data, size_t len) {
  for (size_t i = 0; i < len; i++) putByte(data[i]);
}

void EntropyWriter::putStuffedByte(uint8_t byte) {
  putByte(byte);
  if (byte == 0xFF) putByte(0);
}

void EntropyWriter::putWord(uint32_t word) {
  uint32_t inverted = ~word;
  bool hasFF = ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
  if (!hasFF && used_ + 4 <= kBufferSize) {
    buffer_[used_] = uint8_t(word >> 24);
    buffer_[used_ + 1] = uint8_t(word >> 16);
    buffer_[used_ + 2] = uint8_t(word >> 8);
    buffer_[used_ + 3] = uint8_t(word);
    used_ += 4;
    if (used_ == kBufferSize) flush();
    return;
  }
  for (int shift = 24; shift >= 0; shift -= 8) putStuffedByte(uint8_t(word >> shift));
}

void EntropyWriter::flushBits() {
  int pad = (8 - count_ % 8) % 8;
  if (pad) putBits((1u << pad) - 1, pad);
  while (count_ >= 8) {
    count_ -= 8;
    putStuffedByte(uint8_t(acc_ >> count_));
  }
  acc_ = 0;
  count_ = 0;
}

bool EntropyWriter::flush() {
  if (used_ > 0 && ok_) ok_ = stream_->put(buffer_, used_);
  used_ = 0;
  return ok_;
}

}  // namespace jpegenc
