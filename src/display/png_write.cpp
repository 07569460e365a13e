#include "display/png_write.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <mutex>

#include "core/works.h"
#include "display/frame_buffer.h"

namespace {
int Channels(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
      return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGBA:
      return 4;
    default:
      return 0;
  }
}

// Kept behind a pointer so that it is valid after the library's long jump.
struct PngWrite {
  FILE *file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
};

bool Encode(PngWrite *w, const PngPicture &picture) {
  if (setjmp(png_jmpbuf(w->png))) return false;
  png_init_io(w->png, w->file);
  png_set_IHDR(w->png, w->info, picture.width, picture.height, picture.bitDepth, picture.colourType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(w->png, 9);
  png_write_info(w->png, w->info);
  size_t rowBytes = PngRowBytes(picture);
  for (int y = 0; y < picture.height; y++)
    png_write_row(w->png, picture.pixels.data() + size_t(y) * rowBytes);
  png_write_end(w->png, nullptr);
  return true;
}
}  // namespace

size_t PngRowBytes(const PngPicture &picture) {
  return size_t(picture.width) * Channels(picture.colourType) * (picture.bitDepth / 8);
}

bool WritePng(const std::string &file, const PngPicture &picture, std::string &error) {
  bool shapeOk = picture.width > 0 && picture.height > 0 && Channels(picture.colourType) > 0 &&
                 (picture.bitDepth == 8 || picture.bitDepth == 16) &&
                 picture.pixels.size() == PngRowBytes(picture) * picture.height;
  if (!shapeOk) {
    error = "picture for " + file + " has an unsupported shape";
    return false;
  }
  PngWrite w;
  w.file = fopen(file.c_str(), "wb");
  if (!w.file) {
    error = "cannot write " + file;
    return false;
  }
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (w.png) w.info = png_create_info_struct(w.png);
  bool ok = w.info && Encode(&w, picture);
  png_destroy_write_struct(&w.png, w.info ? &w.info : nullptr);
  ok = fclose(w.file) == 0 && ok;
  if (!ok) error = "cannot encode " + file;
  return ok;
}

bool CaptureScreen(Works *works, PngPicture &picture, std::string &error) {
  std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
  const FrameBuffer *fb = works->display.fb;
  if (!fb || fb->pixelSize != 4) {
    error = "no 32-bit display to capture";
    return false;
  }
  picture.width = fb->width;
  picture.height = fb->height;
  picture.colourType = PNG_COLOR_TYPE_RGBA;
  picture.bitDepth = 8;
  picture.pixels.resize(size_t(fb->width) * fb->height * 4);
  uint8_t *out = picture.pixels.data();
  for (int y = 0; y < fb->height; y++) {
    const uint8_t *in = fb->screen + size_t(y) * fb->lineSize;
    for (int x = 0; x < fb->width; x++, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 255;
    }
  }
  return true;
}

bool SaveScreenPng(Works *works, const std::string &file, std::string &error) {
  PngPicture picture;
  return CaptureScreen(works, picture, error) && WritePng(file, picture, error);
}
