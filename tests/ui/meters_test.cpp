#include "ui/meters.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/works.h"
#include "tests/ui/screen_support.h"
#include "ui/conversions.h"
#include "ui/main_screen.h"

namespace {
std::string Power(Works *works, float watts) {
  char text[32];
  FormatPower(works, watts, text, sizeof text);
  return text;
}

struct MeterScreen : ScreenTest {
  void SetUp() override {
    ScreenTest::SetUp();
    works->ui.mainWindow = 1;
  }
  // True when the pixel at the truncated needle tip for `value` is red.
  bool NeedleEndsAt(int pivotX, double value, double fullScale) {
    NeedlePoint tip = NeedleTip(pivotX, PIVOT_Y, float(NeedleAngle(value, fullScale)));
    return Pixel(int(std::trunc(tip.x)), int(std::trunc(tip.y))) == Rgb{255, 0, 0};
  }
  std::vector<ScreenText> Meters() {
    return Shown([&] {
      DrawMeters(works.works);
      DrawMeterTexts(works.works);
    });
  }
};
}  // namespace

TEST(MeterConversions, SwrScaleDecibelsAndDegrees) {
  struct SwrCase {
    float swr, position;
  };
  for (SwrCase c : {SwrCase{0.5f, 0},
                    {1.0f, 0},
                    {1.25f, 5.5f},
                    {2.0f, 20},
                    {2.5f, 25},
                    {9.5f, 49},
                    {100, 60},
                    {250, 60}})
    EXPECT_FLOAT_EQ(CalcolaSWR(c.swr), c.position) << c.swr;

  TestWorks works;
  EXPECT_EQ(Power(works.works, 45.25f), "45.2W");
  EXPECT_EQ(Power(works.works, 0), "0.0W");
  works->cfg.PowerUnits = 1;
  EXPECT_EQ(Power(works.works, 1), "30.0dBm");
  EXPECT_EQ(Power(works.works, 100), "50.0dBm");
  EXPECT_EQ(Power(works.works, 0.0005f), "---dBm");  // below 1 mW
  EXPECT_EQ(Power(works.works, 0), "---dBm");

  EXPECT_FLOAT_EQ(ConversionCelsius_to_Fahrenheit(25), 77);
  EXPECT_FLOAT_EQ(ConversionCelsius_to_Fahrenheit(-40), -40);
  EXPECT_FLOAT_EQ(ConversionCelsius_to_Fahrenheit(100), 212);
}

TEST(MeterPeaks, HeldPeakFallsStepwiseThenFollowsTheValue) {
  TestWorks works;
  TimerPeakSec = 3000;
  PeakDecrementTime = 1;
  PeakDecrement = 1.0;
  fattoremedia = 2;
  std::vector<float> peaks;
  for (int cycle = 1; cycle <= 78; cycle++) {
    CalcolaPwrPeak(works.works, cycle == 1 ? 50 : 10);
    DecayPeaks(works.works, 40);  // a 40 ms cycle
    peaks.push_back(works->ui.fwdPeak);
  }
  // One step every second cycle while 3000 ms of hold last (75 cycles).
  EXPECT_FLOAT_EQ(peaks[0], 50);
  EXPECT_FLOAT_EQ(peaks[1], 49);
  EXPECT_FLOAT_EQ(peaks[2], 49);
  EXPECT_FLOAT_EQ(peaks[3], 48);
  EXPECT_FLOAT_EQ(peaks[74], 13);
  // Then a running average towards the value: (2 × peak + 10) / 3.
  EXPECT_FLOAT_EQ(peaks[75], 12);
  EXPECT_FLOAT_EQ(peaks[76], 34.0f / 3);
  // A higher value is held again at once.
  CalcolaPwrPeak(works.works, 20);
  EXPECT_FLOAT_EQ(works->ui.fwdPeak, 20);
  EXPECT_EQ(works->ui.fwdPeakHold, 3000);

  // "Peak_media: -1" from setup.txt would divide by zero: the peak follows
  // the value instead.
  fattoremedia = -1;
  works->ui.auxPeak = 30;
  works->ui.auxPeakHold = 0;
  CalcolaPwrPeak2(works.works, 5);
  EXPECT_FLOAT_EQ(works->ui.auxPeak, 5);
  fattoremedia = 2;
}

TEST_F(MeterScreen, NeedlesFollowTheFormulaWithinTheClassClamp) {
  works->link.pwrFwd = 90;
  works->link.pwrRefl = 75;
  auto texts = Meters();
  // A 60 W unit: both needles at full scale, the texts say what was measured.
  EXPECT_TRUE(NeedleEndsAt(FWD_PIVOT_X, 60, 60));
  EXPECT_TRUE(NeedleEndsAt(AUX_PIVOT_X, 60, 60));
  EXPECT_EQ(TextAt(texts, 155, 160), "FORWARD");
  EXPECT_EQ(TextAt(texts, 180, 180), "90.0W");
  EXPECT_EQ(TextAt(texts, 535, 160), "REFLECTED");
  EXPECT_EQ(TextAt(texts, 565, 180), "75.0W");
  // The pivot's three starting points are red.
  for (int d = -1; d <= 1; d++) EXPECT_EQ(Pixel(FWD_PIVOT_X + d, PIVOT_Y), (Rgb{255, 0, 0}));

  // A 120 W unit: 90 W three quarters up its 120 W scale.
  works->link.ampConfig[1] = '1';
  number_ofStep_meter_FWD = 120;
  Meters();
  EXPECT_TRUE(NeedleEndsAt(FWD_PIVOT_X, 90, 120));
  number_ofStep_meter_FWD = 60;
}

TEST_F(MeterScreen, SecondMeterShowsSwrOrInputPowerByWindow) {
  works->link.swr = 2.5f;
  works->link.pwrIn = 2;
  works->ui.mainWindow = 2;
  auto texts = Meters();
  EXPECT_EQ(TextAt(texts, 570, 160), "SWR");
  EXPECT_EQ(TextAt(texts, 580, 180), "2.5");
  EXPECT_TRUE(NeedleEndsAt(AUX_PIVOT_X, 25, 60));
  // An SWR past the table's end: the needle stops at 60, the text does not.
  works->link.swr = 250;
  texts = Meters();
  EXPECT_EQ(TextAt(texts, 580, 180), "250.0");
  EXPECT_TRUE(NeedleEndsAt(AUX_PIVOT_X, 60, 60));

  works->ui.mainWindow = 3;
  texts = Meters();
  EXPECT_EQ(TextAt(texts, 560, 160), "PRWIN");
  EXPECT_EQ(TextAt(texts, 570, 180), "2.0W");
  EXPECT_TRUE(NeedleEndsAt(AUX_PIVOT_X, 2, 60));
}

TEST_F(MeterScreen, PeakNeedlesAreBlackAndRestartWithTheMode) {
  works->cfg.EnablePwrPeak = 1;
  TimerPeakSec = 3000;
  works->link.pwrInPeak = 40;
  works->link.pwrRefl = 10;
  ClearPeakNeedles(works.works);
  Meters();
  // The forward peak is fed from the second cycle on.
  EXPECT_FLOAT_EQ(works->ui.fwdPeak, 0);
  Meters();
  EXPECT_FLOAT_EQ(works->ui.fwdPeak, 40);
  NeedlePoint tip = NeedleTip(FWD_PIVOT_X, PIVOT_Y, works->ui.fwdPeakAngle);
  EXPECT_EQ(Pixel(int(tip.x), int(tip.y)), (Rgb{0, 0, 0}));
  EXPECT_FLOAT_EQ(works->ui.auxPeak, 10);

  // In SWR mode the held reflected watts would make no sense: the peak
  // starts again from the first SWR position, even a lower one.
  works->link.swr = 1.5f;
  SelectMainWindow(works.works, 2);
  Meters();
  EXPECT_FLOAT_EQ(works->ui.auxPeak, 11);
}
