#pragma once
// A memory display with the fonts and the plot geometry, whose texts are
// recorded as the simulator records them: the UI tests read captions and
// values by position and colours by pixel.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "display/frame_buffer.h"
#include "display/text.h"
#include "sim/controller/screen_texts.h"
#include "tests/display/display_support.h"
#include "ui/plot.h"

struct ScreenTest : MemoryDisplayTest {
  void SetUp() override {
    MemoryDisplayTest::SetUp();
    memset(fb->back, 0, fb->memSize);
    LoadFontSlots();
    InitGrid();
    RecordScreenTexts();
  }
  void TearDown() override {
    StopRecordingScreenTexts();
    MemoryDisplayTest::TearDown();
  }

  // Draws on a screen started from the background, shows it and returns its texts.
  std::vector<ScreenText> Shown(const std::function<void()> &draw) {
    fbSetBack(fb.get());
    draw();
    fbRealize(fb.get());
    return ShownScreenTexts();
  }

  // The text drawn with its left end at (x, y), or "" when none was.
  static std::string TextAt(const std::vector<ScreenText> &texts, int x, int y) {
    for (const ScreenText &t : texts)
      if (t.x == x && t.y == y) return t.text;
    return "";
  }
  static const ScreenText *Find(const std::vector<ScreenText> &texts, const std::string &text) {
    for (const ScreenText &t : texts)
      if (t.text == text) return &t;
    return nullptr;
  }

  struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
  };
  Rgb Pixel(int x, int y) const {
    const uint8_t *p = At(fb->screen, x, y);
    return {p[2], p[1], p[0]};
  }
};

inline void PrintTo(const ScreenTest::Rgb &c, std::ostream *os) {
  *os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
