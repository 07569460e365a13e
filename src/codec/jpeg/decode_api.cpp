#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codec/jpeg/jpeg_decoder.h"

namespace jpegdec {

int MemoryInputStream::read(uint8_t *buf, int max_bytes, bool *eof_flag) {
  size_t n = max_bytes > 0 ? std::min(size_t(max_bytes), size_ - offset_) : 0;
  std::memcpy(buf, data_ + offset_, n);
  offset_ += n;
  if (eof_flag) *eof_flag = offset_ == size_;
  return int(n);
}

FileInputStream::~FileInputStream() {
  if (file_) std::fclose(file_);
}

bool FileInputStream::open(const char *file_name) {
  if (file_) std::fclose(file_);
  file_ = std::fopen(file_name, "rb");
  return file_ != nullptr;
}

int FileInputStream::read(uint8_t *buf, int max_bytes, bool *eof_flag) {
  if (!file_ || max_bytes < 0) return -1;
  size_t n = std::fread(buf, 1, size_t(max_bytes), file_);
  if (std::ferror(file_)) return -1;
  if (eof_flag) *eof_flag = std::feof(file_) != 0;
  return int(n);
}

namespace {

uint8_t *decodeStream(InputStream &stream, int *width, int *height, int *file_components,
                      int requested_components) {
  if (requested_components != 1 && requested_components != 3 && requested_components != 4)
    return nullptr;
  Decoder decoder(&stream, requested_components);
  if (!decoder.beginDecoding()) return nullptr;
  size_t rowBytes = size_t(decoder.width()) * size_t(requested_components);
  auto *pixels = static_cast<uint8_t *>(std::malloc(rowBytes * size_t(decoder.height())));
  if (!pixels) return nullptr;
  for (int y = 0; y < decoder.height(); y++) {
    if (!decoder.decodeRowInto(pixels + y * rowBytes)) {
      std::free(pixels);
      return nullptr;
    }
  }
  if (width) *width = decoder.width();
  if (height) *height = decoder.height();
  if (file_components) *file_components = decoder.fileComponents();
  return pixels;
}

}  // namespace

uint8_t *decodeFromMemory(const void *data, int size, int *width, int *height, int *file_components,
                          int requested_components) {
  if (!data || size <= 0) return nullptr;
  MemoryInputStream stream(data, size_t(size));
  return decodeStream(stream, width, height, file_components, requested_components);
}

uint8_t *decodeFromFile(const char *file_name, int *width, int *height, int *file_components,
                        int requested_components) {
  FileInputStream stream;
  if (!file_name || !stream.open(file_name)) return nullptr;
  return decodeStream(stream, width, height, file_components, requested_components);
}

}  // namespace jpegdec
