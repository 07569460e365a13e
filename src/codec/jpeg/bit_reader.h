#pragma once
// Buffered input of the decoder: bytes for the marker segments, bits for the
// entropy-coded data (stuffed 0xFF 0x00 pairs undone, markers detected).
#include <cstddef>
#include <cstdint>

namespace jpegdec {

class InputStream;  // input_stream.h

class BitReader {
 public:
  static constexpr int kNoMarker = -1;
  static constexpr int kEndOfData = -2;

  void init(InputStream *stream, uint8_t *buffer, size_t capacity);

  // Byte level. False at the end of the data.
  bool readByte(uint8_t &byte);
  bool readWord(int &word);  // big-endian 16 bits
  bool readBytes(uint8_t *out, size_t n);
  bool skipBytes(size_t n);
  // Code of the next marker, skipping anything that is not one; kEndOfData
  // when there is none. Starts from a marker already met in coded data.
  int nextMarker();

  // Bit level. After refill() at least 57 bits can be peeked; past a marker
  // or the end of the data the bits are zeros.
  void refill() {
    if (bits_ > 56) return;
    // Whole bytes at once while the next eight hold no 0xFF.
    if (end_ - pos_ >= 8 && marker_ == kNoMarker) {
      uint64_t word = 0;
      for (int i = 0; i < 8; i++) word = word << 8 | pos_[i];
      uint64_t inverted = ~word;
      if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) {
        int n = (64 - bits_) / 8;
        acc_ |= (word >> (64 - 8 * n)) << (64 - 8 * n - bits_);
        bits_ += 8 * n;
        pos_ += n;
        return;
      }
    }
    refillSlow();
  }
  uint32_t peek(int n) const { return uint32_t(acc_ >> (64 - n)); }
  void consume(int n) {
    acc_ <<= n;
    bits_ -= n;
  }
  uint32_t getBits(int n) {
    uint32_t v = n ? peek(n) : 0;
    consume(n);
    return v;
  }
  // True once more bits were consumed than the coded data held.
  bool overran() const { return bits_ < padding_; }
  // Drops the buffered bits: the coded segment ends here (restart, end of scan).
  void resetBits();

 private:
  bool fillBuffer();
  void refillSlow();
  void appendByte(uint8_t byte) {
    acc_ |= uint64_t(byte) << (56 - bits_);
    bits_ += 8;
  }

  InputStream *stream_ = nullptr;
  uint8_t *buffer_ = nullptr;
  size_t capacity_ = 0;
  const uint8_t *pos_ = nullptr, *end_ = nullptr;
  bool eof_ = false;

  uint64_t acc_ = 0;        // next bits at the top
  int bits_ = 0;            // valid bits in acc_, padding included
  int padding_ = 0;         // zero bits appended after a marker or the end of data
  int marker_ = kNoMarker;  // marker met in the coded data
};

}  // namespace jpegdec
