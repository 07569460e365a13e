#include <gtest/gtest.h>

#include "sim/amplifier/meter.h"
#include "sim/amplifier/thermal.h"

TEST(AmpMeter, CalibrationRowsFollowTheControllersRowRule) {
  const char *text =
      "; fStart fSecond P N ...\r\n"
      "1800000 0 100 4000 10 2000 20 2000 -0.01 15 12.7 20 120 1 2 3 4 5 6 7 8 9 10 4\n"
      "0x3567E0 0 120 4000 10 2500 10 1000 -0.02\n"
      "54000000 0\n";
  MeterCalibration cal = ParseCalibrationText(text);
  ASSERT_EQ(cal.Rows().size(), 3u);
  MeterCoefficients k = cal.At(1900000);
  EXPECT_DOUBLE_EQ(k.kFwd, 100.0 / (4000.0 * 4000.0));
  EXPECT_DOUBLE_EQ(k.kRefl, 10.0 / (2000.0 * 2000.0));
  EXPECT_DOUBLE_EQ(k.kPwin, 20.0 / (2000.0 * 2000.0));
  EXPECT_DOUBLE_EQ(k.kCorr, -0.01);
  EXPECT_DOUBLE_EQ(cal.At(3500000).kCorr, -0.02);  // hexadecimal start, the row's own edge
  EXPECT_DOUBLE_EQ(cal.At(3499999).kCorr, -0.01);
  // Outside every row, and the closing row itself: 1.0.
  EXPECT_DOUBLE_EQ(cal.At(1000000).kFwd, 1.0);
  EXPECT_DOUBLE_EQ(cal.At(60000000).kFwd, 1.0);
  // No file: the documented defaults.
  EXPECT_DOUBLE_EQ(MeterCalibration().At(7100000).kFwd, DEFAULT_METER_COEFFICIENTS.kFwd);
  EXPECT_DOUBLE_EQ(LoadCalibrationFile("/nonexistent/config.txt").At(0).kCorr, -0.007);
}

TEST(AmpMeter, LinesReadLikeTheControllersFixedBuffer) {
  // An empty line is a row of zeros; a line of 300 characters is two lines.
  std::string longComment = ";" + std::string(299, 'x') + "\n";
  MeterCalibration cal = ParseCalibrationText("\n" + longComment + "7000000 0 1 1 1 1 1 1 0\n");
  ASSERT_EQ(cal.Rows().size(), 3u);
  EXPECT_EQ(cal.Rows()[0].k.kFwd, 0.0);  // 0 / 0 gives no usable coefficient
  EXPECT_EQ(cal.Rows()[2].fStart, 7000000u);
}

TEST(AmpMeter, CountsDecodeToTheWattsAndSaturateAtFullScale) {
  double k = DEFAULT_METER_COEFFICIENTS.kFwd;
  for (double watts : {1.0, 5.0, 33.3, 60.0}) {
    int n = PowerToCount(watts, k);
    EXPECT_NEAR(CountToPower(n, k), watts, watts * 0.01);
  }
  EXPECT_EQ(PowerToCount(120, k), ADC_FULL_SCALE);  // beyond the converter
  EXPECT_EQ(PowerToCount(-1, k), 0);
  EXPECT_EQ(PowerToCount(10, 0), 0);
}

TEST(AmpThermistor, FollowsTheDatasheetCurveThroughTheDivider) {
  struct Point {
    double celsius, kOhm;
  };
  for (Point p :
       {Point{-10, 55.301}, Point{25, 10.0}, Point{50, 3.635}, Point{80, 1.284}, Point{120, 0.403}})
    EXPECT_NEAR(ThermistorKiloOhms(p.celsius), p.kOhm, p.kOhm * 0.01) << p.celsius;
  // The controller reads about 25 degrees back from 2048.
  EXPECT_NEAR(ThermistorCount(25), 2048, 2);
  EXPECT_GT(ThermistorCount(0), ThermistorCount(60));
}

TEST(AmpThermal, WarmsWithDissipationCoolsWithTheFan) {
  ThermalModel still(25), fanned(25);
  still.Advance(900, 50, 0);
  fanned.Advance(900, 50, 100);
  EXPECT_GT(fanned.Temperature(2), 27);
  EXPECT_GT(still.Temperature(2), fanned.Temperature(2) + 20);
  // The board sits between the transistors and the heat sink.
  EXPECT_GT(fanned.Temperature(1), fanned.Temperature(2));
  fanned.Advance(3600, 0, 100);
  EXPECT_NEAR(fanned.Temperature(1), 25, 0.5);

  fanned.Force(1, 75);
  fanned.Advance(60, 0, 100);
  EXPECT_EQ(fanned.Temperature(1), 75);
  fanned.Force(1, std::nullopt);
  fanned.Advance(60, 0, 100);
  EXPECT_LT(fanned.Temperature(1), 75);
}
