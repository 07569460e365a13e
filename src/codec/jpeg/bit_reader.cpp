#include "codec/jpeg/bit_reader.h"

#include <algorithm>
#include <cstring>

#include "codec/jpeg/input_stream.h"

namespace jpegdec {

void BitReader::init(InputStream *stream, uint8_t *buffer, size_t capacity) {
  stream_ = stream;
  buffer_ = buffer;
  capacity_ = capacity;
  pos_ = end_ = buffer;
  eof_ = false;
  resetBits();
  marker_ = kNoMarker;
}

bool BitReader::fillBuffer() {
  if (eof_) return false;
  bool last = false;
  int n = stream_->read(buffer_, int(capacity_), &last);
  if (n <= 0 || size_t(n) > capacity_) {
    eof_ = true;
    return false;
  }
  eof_ = last;
  pos_ = buffer_;
  end_ = buffer_ + n;
  return true;
}

bool BitReader::readByte(uint8_t &byte) {
  if (pos_ == end_ && !fillBuffer()) return false;
  byte = *pos_++;
  return true;
}

bool BitReader::readWord(int &word) {
  uint8_t hi, lo;
  if (!readByte(hi) || !readByte(lo)) return false;
  word = hi << 8 | lo;
  return true;
}

bool BitReader::readBytes(uint8_t *out, size_t n) {
  while (n > 0) {
    if (pos_ == end_ && !fillBuffer()) return false;
    size_t take = std::min(n, size_t(end_ - pos_));
    std::memcpy(out, pos_, take);
    pos_ += take;
    out += take;
    n -= take;
  }
  return true;
}

bool BitReader::skipBytes(size_t n) {
  while (n > 0) {
    if (pos_ == end_ && !fillBuffer()) return false;
    size_t take = std::min(n, size_t(end_ - pos_));
    pos_ += take;
    n -= take;
  }
  return true;
}

int BitReader::nextMarker() {
  if (marker_ != kNoMarker) {
    int marker = marker_;
    marker_ = kNoMarker;
    return marker;
  }
  uint8_t byte;
  for (;;) {
    if (!readByte(byte)) return kEndOfData;
    if (byte != 0xFF) continue;
    do {
      if (!readByte(byte)) return kEndOfData;
    } while (byte == 0xFF);
    if (byte != 0) return byte;
  }
}

void BitReader::resetBits() {
  acc_ = 0;
  bits_ = 0;
  padding_ = 0;
}

// Byte by byte: stuffed bytes, markers, the end of the buffer.
void BitReader::refillSlow() {
  while (bits_ <= 56) {
    if (marker_ != kNoMarker) {
      int n = (64 - bits_) / 8;
      bits_ += 8 * n;
      padding_ += 8 * n;
      return;
    }
    uint8_t byte;
    if (!readByte(byte)) {
      marker_ = kEndOfData;
      continue;
    }
    if (byte != 0xFF) {
      appendByte(byte);
      continue;
    }
    uint8_t next;
    do {
      if (!readByte(next)) {
        marker_ = kEndOfData;
        break;
      }
    } while (next == 0xFF);
    if (marker_ != kNoMarker) continue;
    if (next == 0)
      appendByte(0xFF);
    else
      marker_ = next;
  }
}

}  // namespace jpegdec
