#pragma once
// Pictures made in code for the image codec's tests and benchmarks.
#include <cstdint>
#include <vector>

struct TestImage {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> pixels;  // row-major, R G B [A] or grey

  uint8_t *At(int x, int y) { return pixels.data() + (size_t(y) * width + x) * channels; }
  void Set(int x, int y, int r, int g, int b) {
    uint8_t *p = At(x, y);
    if (channels == 1) {
      p[0] = uint8_t((r * 77 + g * 150 + b * 29) >> 8);
      return;
    }
    p[0] = uint8_t(r);
    p[1] = uint8_t(g);
    p[2] = uint8_t(b);
    if (channels == 4) p[3] = 0x5A;  // never read by the encoder
  }
};

inline TestImage BlankImage(int width, int height, int channels) {
  TestImage image;
  image.width = width;
  image.height = height;
  image.channels = channels;
  image.pixels.assign(size_t(width) * height * channels, 0);
  return image;
}

// Smooth colour ramps in both directions.
inline TestImage GradientImage(int width, int height, int channels) {
  TestImage image = BlankImage(width, height, channels);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      image.Set(x, y, x * 255 / width, y * 255 / height, (x + y) * 255 / (width + height));
  return image;
}

// A gradient with strong pixel noise on top (the hardest case for the coder).
inline TestImage NoiseImage(int width, int height, int channels, uint32_t seed = 1) {
  TestImage image = BlankImage(width, height, channels);
  uint32_t state = seed;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return int(state >> 24);
  };
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      int n = next() % 64 - 32;
      auto level = [n](int v) { return v + n < 0 ? 0 : v + n > 255 ? 255 : v + n; };
      image.Set(x, y, level(x * 200 / width + 20), level(y * 200 / height + 20), level(128));
    }
  return image;
}

// Something like the amplifier's screen: a dark background, flat coloured
// panels and buttons, meter bars with colour ramps, and rows of thin
// light "glyphs" with sharp edges.
inline TestImage ScreenImage(int width, int height, int channels) {
  TestImage image = BlankImage(width, height, channels);
  auto rect = [&](int x0, int y0, int x1, int y1, int r, int g, int b) {
    for (int y = y0; y < y1 && y < height; y++)
      for (int x = x0; x < x1 && x < width; x++) image.Set(x, y, r, g, b);
  };
  rect(0, 0, width, height, 16, 20, 36);
  rect(0, 0, width, height / 12 + 1, 40, 48, 80);  // title bar
  for (int m = 0; m < 3; m++) {                    // meters with a green-to-red ramp
    int y0 = height / 6 + m * height / 8, y1 = y0 + height / 20 + 1;
    for (int y = y0; y < y1 && y < height; y++)
      for (int x = width / 20; x < width * 19 / 20; x++)
        image.Set(x, y, x * 255 / width, 255 - x * 200 / width, 40);
  }
  for (int b = 0; b < 6; b++) {  // button bar
    int x0 = b * width / 6 + 4, x1 = (b + 1) * width / 6 - 4;
    static const int COLOURS[6][3] = {{200, 40, 40},  {40, 160, 60},  {40, 90, 200},
                                      {220, 200, 40}, {150, 60, 170}, {90, 90, 90}};
    rect(x0, height * 5 / 6, x1, height - 4, COLOURS[b][0], COLOURS[b][1], COLOURS[b][2]);
  }
  // Text: 5x7 glyphs from a fixed bit pattern, 1-pixel strokes.
  uint32_t pattern = 0x2F5A3C1Bu;
  for (int line = 0; line < 4; line++) {
    int y0 = height / 2 + line * 12;
    for (int g = 0; g * 7 + 12 < width; g++) {
      pattern = pattern * 1103515245u + 12345u;
      for (int gy = 0; gy < 7; gy++)
        for (int gx = 0; gx < 5; gx++)
          if ((pattern >> ((gy * 5 + gx) % 31)) & 1)
            rect(10 + g * 7 + gx, y0 + gy, 11 + g * 7 + gx, y0 + gy + 1, 240, 240,
                 line == 3 ? 0 : 240);
    }
  }
  return image;
}
