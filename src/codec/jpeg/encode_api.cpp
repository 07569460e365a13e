#include <cstdio>
#include <cstring>

#include "codec/jpeg/jpeg_encoder.h"

namespace jpegenc {

bool MemoryOutputStream::put(const void *data, size_t len) {
  if (len > capacity_ - size_) return false;
  std::memcpy(buffer_ + size_, data, len);
  size_ += len;
  return true;
}

FileOutputStream::~FileOutputStream() { close(); }

bool FileOutputStream::open(const char *file_name) {
  close();
  file_ = std::fopen(file_name, "wb");
  ok_ = file_ != nullptr;
  return ok_;
}

bool FileOutputStream::put(const void *data, size_t len) {
  if (!ok_) return false;
  ok_ = std::fwrite(data, 1, len, file_) == len;
  return ok_;
}

bool FileOutputStream::close() {
  if (!file_) return false;
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok_ && closed;
}

namespace {

// Every pass of the encoder over all rows of the image.
bool encodeImage(OutputStream &stream, int width, int height, int channels, const void *pixels,
                 const Params &params) {
  if (!pixels) return false;
  Encoder encoder;
  if (!encoder.init(&stream, width, height, channels, params)) return false;
  const uint8_t *rows = static_cast<const uint8_t *>(pixels);
  size_t stride = size_t(width) * size_t(channels);
  bool ok = true;
  for (int pass = 0; pass < encoder.totalPasses() && ok; pass++) {
    for (int y = 0; y < height && ok; y++) ok = encoder.processScanline(rows + y * stride);
    ok = ok && encoder.processScanline(nullptr);
  }
  encoder.deinit();
  return ok;
}

}  // namespace

bool encodeToMemory(void *buffer, int &size, int width, int height, int channels,
                    const void *pixels, const Params &params) {
  int capacity = size;
  size = 0;
  if (!buffer || capacity <= 0) return false;
  MemoryOutputStream stream(static_cast<uint8_t *>(buffer), size_t(capacity));
  if (!encodeImage(stream, width, height, channels, pixels, params)) return false;
  size = int(stream.size());
  return true;
}

bool encodeToFile(const char *file_name, int width, int height, int num_channels,
                  const void *image_data, const Params &params) {
  FileOutputStream stream;
  if (!file_name || !stream.open(file_name)) return false;
  bool ok = encodeImage(stream, width, height, num_channels, image_data, params);
  ok = stream.close() && ok;
  // A half-written picture is worse than none.
  if (!ok) std::remove(file_name);
  return ok;
}

}  // namespace jpegenc
