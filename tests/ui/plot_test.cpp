#include "ui/plot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/works.h"
#include "tests/ui/screen_support.h"
#include "ui/main_screen.h"

namespace {
struct PlotScreen : ScreenTest {
  void SetUp() override {
    ScreenTest::SetUp();
    works->link.currentFreq = 14074000;
  }
  std::vector<ScreenText> Plot(int mode) {
    SelectMainWindow(works.works, mode);
    return Shown([&] { DrawGrid(works.works); });
  }
  float *Levels() { return works->trx.spectrum->levels; }
};

std::string Frequency(Works *works, uint32_t hz) {
  works->link.currentFreq = hz;
  fbSetBack(works->display.fb);
  DrawFreq(works);
  fbRealize(works->display.fb);
  auto texts = ShownScreenTexts();
  return texts.empty() ? "" : texts[0].text;
}
}  // namespace

TEST_F(PlotScreen, FrequencyTextsByRange) {
  EXPECT_EQ(Frequency(works.works, 14074000), "14.074MHz");
  EXPECT_EQ(Frequency(works.works, 1000000), "1.000MHz");
  EXPECT_EQ(Frequency(works.works, 999999), "999.999kHz");
  EXPECT_EQ(Frequency(works.works, 1000), "1.000kHz");
  EXPECT_EQ(Frequency(works.works, 999), "999Hz");
  EXPECT_EQ(Frequency(works.works, 0), "");
  // Above the plot in orange, between the meters in black.
  works->ui.mainWindow = 4;
  Frequency(works.works, 14074000);
  ScreenText t = ShownScreenTexts().at(0);
  EXPECT_EQ(t.x, 339);
  EXPECT_EQ(t.y, 52);
  EXPECT_EQ(t.slot, 4);
  EXPECT_EQ((Rgb{t.red, t.green, t.blue}), (Rgb{250, 150, 0}));
}

TEST_F(PlotScreen, GridAndAxisOfBothSpans) {
  for (int i = 0; i < SPECTRUM_POINTS; i++) Levels()[i] = -55;  // the trace between grid lines
  auto texts = Plot(4);
  EXPECT_EQ(TextAt(texts, 35, 43), "dBm");
  EXPECT_EQ(TextAt(texts, 35, 60), "0");  // RefLevelPlot 0 at RefPosPlot 10 of 10 divisions
  EXPECT_EQ(TextAt(texts, 35, 230), "-100");
  EXPECT_EQ(TextAt(texts, 60, 243), "-80");
  EXPECT_EQ(TextAt(texts, 414, 243), "0");  // no sign in the middle
  EXPECT_EQ(TextAt(texts, 748, 243), "+80");
  for (int i = 0; i <= 10; i++) EXPECT_EQ(Pixel(100, 60 + 17 * i), (Rgb{120, 120, 120})) << i;
  for (int i = 0; i <= 16; i++) EXPECT_EQ(Pixel(70 + 43 * i, 100), (Rgb{120, 120, 120})) << i;
  EXPECT_EQ(TextAt(texts, 339, 52), "14.074MHz");

  texts = Plot(5);
  EXPECT_EQ(TextAt(texts, 60, 243), "-40");
  EXPECT_EQ(TextAt(texts, 414, 243), "0");
  EXPECT_EQ(TextAt(texts, 748, 243), "+40");
  for (int i = 0; i <= 8; i++) EXPECT_EQ(Pixel(70 + 86 * i, 100), (Rgb{120, 120, 120})) << i;

  // Nothing while a page covers the main screen.
  works->ui.uiFlags = 1;
  EXPECT_TRUE(Shown([&] { DrawGrid(works.works); }).empty());
}

TEST_F(PlotScreen, TraceStaysOnTheGridWhateverTheLevels) {
  for (int i = 0; i < SPECTRUM_POINTS; i++) Levels()[i] = 50;  // far above the top (0 dBm)
  Levels()[400] = NAN;
  Plot(4);
  for (int x = 71; x < 757; x++) {
    ASSERT_EQ(Pixel(x, 60), (Rgb{255, 255, 255})) << x;
    ASSERT_NE(Pixel(x, 59), (Rgb{255, 255, 255})) << x;
  }
  EXPECT_FLOAT_EQ(CalculatePoint(-100, 0, 0, -200).y, 230);  // below the bottom
  EXPECT_FLOAT_EQ(CalculatePoint(-100, 0, 427, -50).x, 414);

  // "PointDivPlot: 0" from setup.txt: a grid of 1 dB per division, not a
  // division by zero.
  works->cfg.PointDivPlot = 0;
  works->cfg.RefPosPlot = 0;
  for (int i = 0; i < SPECTRUM_POINTS; i++) Levels()[i] = 5;
  auto texts = Plot(4);
  EXPECT_EQ(TextAt(texts, 35, 60), "10");
  EXPECT_EQ(TextAt(texts, 35, 230), "0");
  EXPECT_EQ(Pixel(300, 145), (Rgb{255, 255, 255}));  // 5 dB: half way
}
