#pragma once
// Every background picture the program names, drawn at the display's size.
#include <string>
#include <vector>

#include "canvas.h"

constexpr int PICTURE_WIDTH = 800, PICTURE_HEIGHT = 480;

struct PictureFonts {
  explicit PictureFonts(const std::string &dir);
  bool Loaded() const;

  Font brand, caption, heading, numbers, symbols, legend, lamp, title, subtitle, badge;
};

struct PictureDef {
  const char *name;  // file name without ".png"
  void (*draw)(Canvas &canvas, const PictureFonts &fonts);
};

const std::vector<PictureDef> &Pictures();
