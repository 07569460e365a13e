#pragma once
// Huffman side of the encoder: table descriptions, code words, symbol
// statistics for optimised tables, and the entropy-coded output with byte
// stuffing and its 2048-byte buffer.
#include <cstddef>
#include <cstdint>

namespace jpegenc {

class OutputStream;

// A table as a DHT segment carries it: bits[n] codes of length n (n 1..16),
// then the symbols in order of increasing code length.
struct HuffmanSpec {
  uint8_t bits[17];
  uint8_t values[256];
  int count() const;
};

// Code word and length per symbol; length 0 means the symbol has no code.
struct HuffmanCode {
  uint16_t code[256];
  uint8_t size[256];
  void build(const HuffmanSpec &spec);
};

struct SymbolCounts {
  uint32_t count[256];
};

// Optimal code lengths for the counts, limited to 16 bits and with no code
// word made of 1-bits only.
void buildOptimalSpec(const SymbolCounts &counts, HuffmanSpec &spec);

class EntropyWriter {
 public:
  static constexpr size_t kBufferSize = 2048;

  void start(OutputStream *stream);
  // Marker segments and other bytes that are not stuffed.
  void putBytes(const uint8_t *data, size_t len);
  // Appends the low `size` bits of `bits` (size 1..27) to the coded data.
  void putBits(uint32_t bits, int size) {
    acc_ = (acc_ << size) | bits;
    count_ += size;
    if (count_ >= 32) {
      count_ -= 32;
      putWord(uint32_t(acc_ >> count_));
    }
  }
  // Pads the last byte with 1-bits.
  void flushBits();
  // Hands the buffered bytes to the stream; false once any write failed.
  bool flush();
  bool ok() const { return ok_; }

 private:
  void putWord(uint32_t word);
  void putStuffedByte(uint8_t byte);
  void putByte(uint8_t byte) {
    buffer_[used_++] = byte;
    if (used_ == kBufferSize) flush();
  }

  OutputStream *stream_ = nullptr;
  uint64_t acc_ = 0;
  int count_ = 0;
  uint8_t buffer_[kBufferSize];
  size_t used_ = 0;
  bool ok_ = true;
};

}  // namespace jpegenc
