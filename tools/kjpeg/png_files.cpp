#include "png_files.h"

#include <png.h>

bool ReadPng(const std::string &path, PngPicture &picture, std::string &error) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    error = image.message;
    return false;
  }
  bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
  image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  picture.width = int(image.width);
  picture.height = int(image.height);
  picture.channels = colour ? 3 : 1;
  picture.pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

bool WritePng(const std::string &path, const uint8_t *pixels, int width, int height, int channels,
              std::string &error) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = channels == 1 ? PNG_FORMAT_GRAY : channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr)) {
    error = image.message;
    return false;
  }
  return true;
}
