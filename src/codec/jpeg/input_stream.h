#pragma once
// Sources of JPEG data for the decoder.
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace jpegdec {

class InputStream {
 public:
  virtual ~InputStream() = default;
  // Up to max_bytes into buf; the count, or -1 on a read error. eof_flag is
  // set once nothing follows the bytes returned.
  virtual int read(uint8_t *buf, int max_bytes, bool *eof_flag) = 0;
};

class MemoryInputStream : public InputStream {
 public:
  MemoryInputStream(const void *data, size_t size)
      : data_(static_cast<const uint8_t *>(data)), size_(data ? size : 0) {}
  int read(uint8_t *buf, int max_bytes, bool *eof_flag) override;

 private:
  const uint8_t *data_;
  size_t size_;
  size_t offset_ = 0;
};

class FileInputStream : public InputStream {
 public:
  ~FileInputStream() override;
  bool open(const char *file_name);
  int read(uint8_t *buf, int max_bytes, bool *eof_flag) override;

 private:
  FILE *file_ = nullptr;
};

}  // namespace jpegdec
