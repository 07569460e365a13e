#pragma once
// The decoder's working memory: requests are carved out of large zero-filled
// chunks and everything is released at once.
#include <cstddef>

namespace jpegdec {

class ChunkAllocator {
 public:
  ChunkAllocator() = default;
  ChunkAllocator(const ChunkAllocator &) = delete;
  ChunkAllocator &operator=(const ChunkAllocator &) = delete;
  ~ChunkAllocator() { releaseAll(); }

  // Zero-filled memory for `bytes`, aligned to 4; null when no chunk can be had.
  void *allocate(size_t bytes);
  void releaseAll();
  size_t chunkCount() const { return chunks_; }

 private:
  // Each chunk starts with the address of the one allocated before it.
  unsigned char *current_ = nullptr;
  size_t used_ = 0, capacity_ = 0, chunks_ = 0;
};

}  // namespace jpegdec
