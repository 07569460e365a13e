#pragma once
// Writing pictures as PNG files: the snapshots of the displayed screen (the
// simulator, the tests) and the background pictures (tools/pictures).
#include <cstdint>
#include <string>
#include <vector>

struct Works;

struct PngPicture {
  int width = 0;
  int height = 0;
  int colourType = 6;           // PNG colour type: 0 grey, 2 RGB, 4 grey+alpha, 6 RGBA
  int bitDepth = 8;             // 8 or 16; 16-bit samples big-endian, as in the file
  std::vector<uint8_t> pixels;  // rows top to bottom, no padding
};

// Bytes of one row of the picture.
size_t PngRowBytes(const PngPicture &picture);

// The same picture always gives the same bytes (no time stamp, fixed settings).
bool WritePng(const std::string &file, const PngPicture &picture, std::string &error);

// What the display shows now, as an RGBA picture; false without a 32-bit display.
bool CaptureScreen(Works *works, PngPicture &picture, std::string &error);
// CaptureScreen written to `file`.
bool SaveScreenPng(Works *works, const std::string &file, std::string &error);
