#pragma once
// PNG files for kjpeg, through libpng's simplified interface.
#include <cstdint>
#include <string>
#include <vector>

struct PngPicture {
  int width = 0, height = 0, channels = 0;  // channels 1 (grey) or 3 (RGB)
  std::vector<uint8_t> pixels;
};

// Grey files stay grey, everything else becomes RGB (alpha composited on black).
bool ReadPng(const std::string &path, PngPicture &picture, std::string &error);
// channels 1, 3 or 4.
bool WritePng(const std::string &path, const uint8_t *pixels, int width, int height, int channels,
              std::string &error);
