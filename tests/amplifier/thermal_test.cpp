// Thermistor conversion, the temperature alarms and the fan curve.
#include "amplifier/thermal.h"

#include <gtest/gtest.h>

#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/fan_table.h"
#include "sim/world/sandbox.h"
#include "tests/amplifier/link_harness.h"
#include "tests/support/sandbox.h"

namespace {
class Thermal : public ::testing::Test {
 protected:
  void SetUp() override {
    works->errors.errMask = 0;
    works->core.initDone = 1;
    works->cfg.MaxTemperature = 60;
    works->cfg.Isteresi1 = 1;
    works->cfg.Isteresi2 = 1;
  }
  void Sensor1(float t) {
    GestTemperatureFunction(works.works, ERR_TEMP1_HIGH, ERR_TEMP1_ENDED, ERR_TEMP1_WARNING, t,
                            works->cfg.MaxTemperature);
  }
  void FanTable(const std::string &rows) {
    box.Write(box.P().ventolaFile, rows);
    ReadVentolaFile(works.works);
  }
  // The fan curve at `t`, with the fan command (if queued) sent at once.
  std::vector<int32_t> FanAt(float t) {
    works->link.temp1 = t;
    works->link.temp2 = t - 5;
    searchPercentVentola(works.works);
    works->thermal.fanPending = 0;
    return TakeQueued(works.works);
  }

  TestSandbox box;
  TestWorks works;
  LogCapture log;
};
}  // namespace

TEST(CalcolaTemp, ConvertsThroughTheTableAndLimits) {
  EXPECT_NEAR(CalcolaTemp(2048), 24.99f, 0.01f);  // R = 10.005 kΩ
  EXPECT_FLOAT_EQ(CalcolaTemp(4095), -10);        // open sensor: −40, limited
  EXPECT_FLOAT_EQ(CalcolaTemp(3900), -10);        // colder than the limit
  EXPECT_FLOAT_EQ(CalcolaTemp(0), 80);            // below the table: hot, limited
  EXPECT_FLOAT_EQ(CalcolaTemp(300), 80);
  EXPECT_NEAR(CalcolaTemp(1000), 53.28f, 0.01f);  // R = 3.231 kΩ between 50 and 55 degrees
  EXPECT_TRUE(ThermistorCountValid(4095));
  EXPECT_FALSE(ThermistorCountValid(4096));
}

TEST_F(Thermal, WarningAlarmAndAlarmEnded) {
  Sensor1(59.5f);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_TEMP1_WARNING}));
  EXPECT_TRUE(log.ErrHas("!!!! WARNING: Quasi in Temperatura!! (2)\n"));
  Sensor1(60.5f);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_TEMP1_HIGH}));
  EXPECT_EQ(TakeQueued(works.works), (std::vector<int32_t>{CMD_MP1, CMD_AT_FULL, CMD_AB0}));
  EXPECT_TRUE(log.ErrHas("!!!!  TEMP ALLARM: 60.50 (2)\n"));
  Sensor1(61);     // listed: nothing more
  Sensor1(59.5f);  // inside the hysteresis band: the alarm stays
  EXPECT_TRUE(TakeQueued(works.works).empty());
  Sensor1(58.9f);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_TEMP1_ENDED}));
  EXPECT_EQ(TakeQueued(works.works), (std::vector<int32_t>{CMD_AB1}));
  EXPECT_TRUE(log.ErrHas("!!!! END TEMPERATURE ERROR (2)\n"));
  // The ended alarm stays until a reset; falling further changes nothing.
  Sensor1(30);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{ERR_TEMP1_ENDED}));
}

TEST_F(Thermal, FanCurveWithHysteresis) {
  FanTable("30 0\n40 50\n50 100\n");
  EXPECT_EQ(FanAt(45), (std::vector<int32_t>{CMD_FN}));  // the first result is always sent
  EXPECT_EQ(works->thermal.fanLevel, 50);
  EXPECT_TRUE(FanAt(39.5f).empty());  // falling: held until 1 degree below 40
  EXPECT_EQ(FanAt(38.9f), (std::vector<int32_t>{CMD_FN}));
  EXPECT_EQ(works->thermal.fanCurveLast, 0);
  EXPECT_EQ(FanAt(55), (std::vector<int32_t>{CMD_FN}));  // rising goes at once
  EXPECT_EQ(works->thermal.fanLevel, 100);
  EXPECT_TRUE(log.ErrHas("--->1 VENTOLA: 100 (55.00°C)\n"));
  EXPECT_EQ(FanAt(20), (std::vector<int32_t>{CMD_FN}));  // below the first row: its level
  EXPECT_EQ(works->thermal.fanCurveLast, 0);
}

TEST_F(Thermal, WithoutACurveTheFanKeepsItsLevel) {
  works->thermal.fanLevel = 100;
  EXPECT_TRUE(FanAt(70).empty());
  FanTable("30 40\n");
  EXPECT_TRUE(FanAt(70).empty());
  EXPECT_EQ(works->thermal.fanLevel, 100);
  EXPECT_FLOAT_EQ(SearchTemperatureFromVentola(works.works, 40), 30);
  EXPECT_FLOAT_EQ(SearchTemperatureFromVentola(works.works, 41), 0);
}

TEST_F(Thermal, ProcessorTemperaturesFromMyTemp) {
  box.Write(SandboxStateFile(box.Root(), "cpu_temp"), "53.7");
  ReadCPUTemp(works.works);
  EXPECT_FLOAT_EQ(works->thermal.cpuTemp1, 53.7f);
  EXPECT_FLOAT_EQ(works->thermal.cpuTemp2, 53.7f);  // "temp=53.7'C": positions 5 to 8
}
