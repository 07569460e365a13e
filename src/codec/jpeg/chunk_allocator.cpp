#include "codec/jpeg/chunk_allocator.h"

#include <cstdlib>

namespace jpegdec {

namespace {

// Far above anything a 16384 x 16384 frame needs, and far from overflow.
constexpr size_t kLargestRequest = size_t(1) << 31;
constexpr size_t kChunkGranule = 2048;
constexpr size_t kSmallChunkLimit = 32768;
constexpr size_t kSmallChunkSize = 32512;
constexpr size_t kHeader = 16;  // link to the previous chunk, keeps the data 16-aligned

unsigned char *&previousOf(unsigned char *chunk) {
  return *reinterpret_cast<unsigned char **>(chunk);
}

}  // namespace

void *ChunkAllocator::allocate(size_t bytes) {
  if (bytes > kLargestRequest) return nullptr;
  size_t n = (bytes + 3) & ~size_t(3);
  if (!current_ || capacity_ - used_ < n) {
    size_t size = (n + kChunkGranule - 1) / kChunkGranule * kChunkGranule;
    if (size < kSmallChunkLimit) size = kSmallChunkSize;
    // calloc: large chunks come as untouched zero pages from the system.
    auto *chunk = static_cast<unsigned char *>(std::calloc(1, kHeader + size));
    if (!chunk) return nullptr;
    previousOf(chunk) = current_;
    current_ = chunk;
    used_ = 0;
    capacity_ = size;
    chunks_++;
  }
  void *p = current_ + kHeader + used_;
  used_ += n;
  return p;
}

void ChunkAllocator::releaseAll() {
  while (current_) {
    unsigned char *previous = previousOf(current_);
    std::free(current_);
    current_ = previous;
  }
  used_ = capacity_ = chunks_ = 0;
}

}  // namespace jpegdec
