#include "display/image.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "display/screen_observer.h"
#include "platform/paths.h"

namespace {
// Everything a read holds, reached through a pointer so that it survives the
// library's long jump on a decoding error.
struct PngRead {
  const char *name = nullptr;  // the full file name, for the messages
  FILE *file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_bytep *rows = nullptr;
  png_uint_32 rowCount = 0;
};

void Release(PngRead *r) {
  if (r->rows) {
    for (png_uint_32 y = 0; y < r->rowCount; y++) free(r->rows[y]);
    free(r->rows);
  }
  if (r->png) png_destroy_read_struct(&r->png, r->info ? &r->info : nullptr, nullptr);
  if (r->file) fclose(r->file);
}

// A bad file is reported once by our own message; the library's own texts
// would only repeat it on the error stream.
void IgnoreWarning(png_structp, png_const_charp) {}
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

bool OpenPng(PngRead *r) {
  r->file = fopen(r->name, "rb");
  if (!r->file) {
    LogSys(LOG_PRIO_ERR, "%s image could not be opened", r->name);
    return false;
  }
  png_byte header[8];
  if (fread(header, 1, 8, r->file) != 8 || png_sig_cmp(header, 0, 8) != 0) {
    LogSys(LOG_PRIO_ERR, "%s image is not a PNG file", r->name);
    return false;
  }
  r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, IgnoreWarning);
  if (!r->png) {
    LogSys(LOG_PRIO_ERR, "%s PNG_create_read_struct failed", r->name);
    return false;
  }
  r->info = png_create_info_struct(r->png);
  if (!r->info) {
    LogSys(LOG_PRIO_ERR, "%s PNG_create_info_struct failed", r->name);
    return false;
  }
  return true;
}

bool ReadHeader(PngRead *r) {
  if (setjmp(png_jmpbuf(r->png))) {
    LogSys(LOG_PRIO_ERR, "%s error during init_io", r->name);
    return false;
  }
  png_init_io(r->png, r->file);
  png_set_sig_bytes(r->png, 8);
  png_read_info(r->png, r->info);
  return true;
}

bool Acceptable(PngRead *r, const FrameBuffer *fb) {
  png_uint_32 width = png_get_image_width(r->png, r->info);
  png_uint_32 height = png_get_image_height(r->png, r->info);
  int depth = png_get_bit_depth(r->png, r->info);
  int colourType = png_get_color_type(r->png, r->info);
  if (width > png_uint_32(fb->width)) {
    LogSys(LOG_PRIO_ERR, "%s image has %d cols not %d", r->name, int(width), fb->width);
    return false;
  }
  if (height > png_uint_32(fb->height)) {
    LogSys(LOG_PRIO_ERR, "%s image has %d rows not %d", r->name, int(height), fb->height);
    return false;
  }
  if (depth != 8 || fb->pixelSize != 4 || colourType != PNG_COLOR_TYPE_RGBA) {
    LogSys(LOG_PRIO_ERR, "%s image has %d pixels not %d or color_type is %d not %d", r->name, depth,
           int(fb->pixelSize), colourType, PNG_COLOR_TYPE_RGBA);
    return false;
  }
  return true;
}

bool AllocateRows(PngRead *r) {
  png_uint_32 height = png_get_image_height(r->png, r->info);
  size_t rowBytes = png_get_rowbytes(r->png, r->info);
  r->rows = static_cast<png_bytep *>(calloc(height, sizeof(png_bytep)));
  if (!r->rows) {
    LogSys(LOG_PRIO_ERR, "%s unable to alloc row_pointers for image", r->name);
    return false;
  }
  r->rowCount = height;
  for (png_uint_32 y = 0; y < height; y++) {
    r->rows[y] = static_cast<png_bytep>(malloc(rowBytes));
    if (!r->rows[y]) {
      LogSys(LOG_PRIO_ERR, "%s unable to alloc row_pointers[%d] for image", r->name, int(y));
      return false;
    }
  }
  return true;
}

bool ReadPixels(PngRead *r) {
  if (setjmp(png_jmpbuf(r->png))) {
    LogSys(LOG_PRIO_ERR, "%s error during reading image", r->name);
    return false;
  }
  png_set_interlace_handling(r->png);
  png_read_update_info(r->png, r->info);
  png_read_image(r->png, r->rows);
  return true;
}

// RGBA rows to blue, green, red, 0; the alpha is dropped, not blended.
void CopyRows(const PngRead *r, const FrameBuffer *fb, uint8_t *target) {
  png_uint_32 width = png_get_image_width(r->png, r->info);
  for (png_uint_32 y = 0; y < r->rowCount; y++) {
    const png_byte *in = r->rows[y];
    uint8_t *out = target + size_t(y) * fb->lineSize;
    for (png_uint_32 x = 0; x < width; x++, in += 4, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 0;
    }
  }
}
}  // namespace

void getPng(Works *works, int toBack) {
  FrameBuffer *fb = works->display.fb;
  if (!fb) return;
  std::string file = GetPaths().picturesDir + "/" + works->display.imageName + ".png";
  PngRead read;
  read.name = file.c_str();
  uint8_t *target = toBack ? fb->back : fb->work;
  bool loaded = OpenPng(&read) && ReadHeader(&read) && Acceptable(&read, fb) &&
                AllocateRows(&read) && ReadPixels(&read);
  if (loaded) CopyRows(&read, fb, target);
  Release(&read);
  if (loaded && !toBack) {
    if (screenObserver.screenStarted) screenObserver.screenStarted();
    fbRealize(fb);
  }
}
