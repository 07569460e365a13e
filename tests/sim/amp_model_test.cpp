#include "sim/amplifier/amp_model.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
// The controller's documented decoding of one "ST" reading set.
struct Decoded {
  double fwd, refl, swr;
};

Decoded DecodeLikeController(const AmpReadings &r, const MeterCoefficients &k) {
  Decoded d;
  d.fwd = k.kFwd * r.countForward * r.countForward;
  d.refl = k.kRefl * r.countReflected * r.countReflected + k.kCorr * d.fwd;
  if (d.refl < 0) d.refl = 0;
  d.swr = 0;
  if (d.fwd > 0.3) {
    double rho = std::sqrt(d.refl / d.fwd);
    d.swr = d.fwd < d.refl || rho == 1 ? 100 : (1 + rho) / (1 - rho);
  } else if (d.refl > 0.5) {
    d.swr = 100;
  }
  d.swr = std::min(d.swr, 100.0);
  return d;
}

// An amplifier in line on 40 m with the right filter, into antenna 1.
AmpModel Keyed(double driveW, AntennaLoad load = {50, 0}, int powerClass = 60) {
  AmpModel m(powerClass);
  m.SetRf({true, 7100000, driveW});
  m.SetLoad(0, load);
  m.Controls().bypass = false;
  m.Controls().filterMask = 1 << 2;
  m.Controls().fanLevel = 100;
  m.ClearRestartFlag();
  return m;
}
}  // namespace

TEST(AmpModel, ReadingsDecodeToTheModelledWattsWithinOnePercent) {
  auto check = [](const AmpModel &m) {
    AmpReadings r = m.Readings();
    Decoded d = DecodeLikeController(r, m.Coefficients());
    EXPECT_NEAR(d.fwd, r.forwardW, r.forwardW * 0.01);
    EXPECT_NEAR(d.refl, r.reflectedW, r.reflectedW * 0.01);
    EXPECT_NEAR(d.swr, r.swr, r.swr * 0.02);
  };
  // Default coefficients, a mismatch the tuner partly corrects.
  AmpModel m = Keyed(2, {25, 30});
  m.Controls().tuneWord = EncodeTunerWord({15, 40, TunerNetwork::A});
  ASSERT_GT(m.Readings().swr, 1.3);
  check(m);
  // The 12.5 ohm load through the by-passed tuner reads SWR 4.
  m.Controls().tuneWord = 0;
  m.SetLoad(0, {12.5, 0});
  EXPECT_NEAR(m.Readings().swr, 4.0, 1e-9);
  check(m);
  // A calibration of the sandbox's own, on the 120 W class.
  AmpModel big = Keyed(6, {12.5, 0}, 120);
  big.SetCalibration(
      ParseCalibrationText("7000000 0 130 3900 30 3000 15 3500 -0.005\n7300000 0\n"));
  ASSERT_DOUBLE_EQ(big.Coefficients().kCorr, -0.005);
  ASSERT_GT(big.Readings().forwardW, 60);
  check(big);
}

TEST(AmpModel, ForwardPowerFollowsDriveGainPadsAndClass) {
  AmpModel m = Keyed(1);
  double oneWatt = m.Readings().forwardW;
  EXPECT_NEAR(10 * std::log10(oneWatt), 11, 0.1);  // small-signal gain of the 60 W class
  m.Controls().pads = PAD_3DB | PAD_2DB;
  EXPECT_NEAR(10 * std::log10(oneWatt / m.Readings().forwardW), 5, 0.05);
  m.Controls().pads = 0;
  m.SetRf({true, 7100000, 50});
  EXPECT_LE(m.Readings().forwardW, 60);
  EXPECT_GT(m.Readings().forwardW, 57);
  AmpModel big = Keyed(50, {50, 0}, 120);
  EXPECT_GT(big.Readings().forwardW, 114);
  EXPECT_LE(big.Readings().forwardW, 120);
  // By-passed, the drive goes straight through to the tuner.
  m.Controls().bypass = true;
  EXPECT_DOUBLE_EQ(m.Readings().forwardW, 50);
  EXPECT_FALSE(m.Readings().amplifying);
}

TEST(AmpModel, StatusBytesReportControlsAndTransmission) {
  AmpModel m;
  AmpReadings idle = m.Readings();
  EXPECT_EQ(idle.statusB, STB_BYPASS);     // power-on: by-passed
  EXPECT_EQ(idle.statusC, STC_RESTARTED);  // until "MR0;"
  EXPECT_EQ(idle.measuredFreqHz, 0u);
  m.Controls().pads = PAD_3DB;
  m.Controls().anValue = 1;
  EXPECT_EQ(m.Readings().statusA, 0x9);
  m.Controls().pads = PAD_2DB;
  EXPECT_EQ(m.Readings().statusA & 0xC, 0x4);
  m.ClearRestartFlag();
  m.SetRf({true, 7100012, 5});
  AmpReadings tx = m.Readings();
  EXPECT_EQ(tx.statusB, STB_TRANSMITTING | STB_BYPASS);
  EXPECT_EQ(tx.statusC, 0);
  EXPECT_EQ(tx.measuredFreqHz, 7100010u);
  m.Controls().protectionMode = true;
  EXPECT_EQ(m.Readings().statusB & STB_PROTECTION, STB_PROTECTION);
}

TEST(AmpModel, ThresholdAndFilterProtectionsLatchUntilCleared) {
  struct Case {
    ThresholdIndex threshold;
    uint8_t bit;
  };
  for (Case c : {Case{TS_CURRENT, STC_CURRENT}, Case{TS_REFL, STC_REFLECTED},
                 Case{TS_FWD, STC_FORWARD}, Case{TS_PWIN, STC_INPUT_SENSOR}}) {
    AmpModel m = Keyed(3, {35, 0});
    m.Advance(0.1);
    ASSERT_EQ(m.Readings().statusC, 0);
    m.Controls().thresholds[c.threshold] = 100;
    m.Advance(0.1);
    AmpReadings r = m.Readings();
    EXPECT_EQ(r.statusC, c.bit) << c.threshold;
    EXPECT_TRUE(r.statusB & STB_PROTECTION);
    EXPECT_FALSE(r.amplifying);  // held in stand-by: the drive passes through
    EXPECT_DOUBLE_EQ(r.forwardW, 3);
    m.Controls().thresholds[c.threshold] = ADC_FULL_SCALE;
    m.Advance(0.1);
    EXPECT_EQ(m.Readings().statusC, c.bit);  // latched
    m.ClearProtections();
    m.Advance(0.1);
    EXPECT_EQ(m.Readings().statusC, 0);
    EXPECT_TRUE(m.Readings().amplifying);
  }
  AmpModel m = Keyed(3);
  for (uint8_t mask : {0, 1 << 5, (1 << 2) | (1 << 7)}) {
    m.ClearProtections();
    m.Controls().filterMask = mask;
    m.Advance(0.1);
    EXPECT_EQ(m.Readings().statusC, STC_FILTER) << int(mask);
  }
  m.ClearProtections();
  m.Controls().filterMask = 1 << 7;  // the through path fits every band
  m.Advance(0.1);
  EXPECT_EQ(m.Readings().statusC, 0);
}

TEST(AmpModel, HighSwrTripsOnlyWithRealReflectedPower) {
  AmpModel m = Keyed(0.3, {12.5, 0});  // SWR 4 but a few watts reflected
  m.Advance(0.1);
  EXPECT_EQ(m.Readings().statusB & STB_HIGH_SWR, 0);
  m.SetRf({true, 7100000, 5});
  m.Advance(0.1);
  AmpReadings r = m.Readings();
  EXPECT_EQ(r.statusB & (STB_HIGH_SWR | STB_PROTECTION), STB_HIGH_SWR | STB_PROTECTION);
  EXPECT_DOUBLE_EQ(r.forwardW, 5);
  // Cleared while the mismatch lasts, it trips again; matched, it stays clear.
  m.ClearProtections();
  m.Advance(0.1);
  EXPECT_TRUE(m.Readings().statusB & STB_HIGH_SWR);
  m.ClearProtections();
  m.Controls().tuneWord = m.FindBestTune().word;
  m.Advance(0.1);
  EXPECT_EQ(m.Readings().statusB & STB_HIGH_SWR, 0);
  EXPECT_LT(m.Readings().swr, 1.3);
}

TEST(AmpModel, BandWarningAndOverdriveFollowTheRfWithoutLatching) {
  AmpModel m = Keyed(3);
  m.Controls().filterMask = 1 << 7;
  m.SetRf({true, 11000000, 3});
  m.Advance(0.1);
  EXPECT_EQ(m.Readings().statusC, STC_BAND);
  EXPECT_FALSE(m.Readings().amplifying);
  m.SetRf({true, 7100000, 20});
  m.Advance(0.1);
  EXPECT_EQ(m.Readings().statusC, STC_OVERDRIVE);
  m.Controls().pads = PAD_3DB | PAD_2DB;  // 20 W less 5 dB is within the limit
  EXPECT_EQ(m.Readings().statusC, 0);
}

TEST(AmpModel, SupplyCurrentAndHeatFollowTheOutput) {
  AmpModel low = Keyed(0.5), high = Keyed(5);
  AmpReadings a = low.Readings(), b = high.Readings();
  EXPECT_GT(b.currentA, a.currentA);
  EXPECT_NEAR(b.countCurrent / 4096.0 * CURRENT_FULL_SCALE_A, b.currentA, 0.01);
  double efficiency = b.forwardW / (b.currentA * PowerClassOf(60).supplyVolts);
  EXPECT_GT(efficiency, 0.4);
  EXPECT_LT(efficiency, 0.6);
  EXPECT_GT(b.dissipationW, a.dissipationW);
  high.Advance(600);
  EXPECT_GT(high.Readings().temperature[0], 40);
  EXPECT_LT(high.Readings().countTemp[0], ThermistorCount(40));
  // Not keyed: only the idle current, no heat.
  high.SetRf({false, 7100000, 5});
  EXPECT_EQ(high.Readings().dissipationW, 0);
  EXPECT_LT(high.Readings().currentA, 1);
}

TEST(AmpModel, RestartRestoresPowerOnSettings) {
  AmpModel m = Keyed(5);
  m.Controls().thresholds[TS_FWD] = 10;
  m.Advance(0.1);
  m.Restart();
  AmpReadings r = m.Readings();
  EXPECT_TRUE(m.Controls().bypass);
  EXPECT_EQ(m.Controls().filterMask, 0);
  EXPECT_EQ(m.Controls().thresholds[TS_FWD], ADC_FULL_SCALE);
  EXPECT_EQ(r.statusC, STC_RESTARTED);
  m.ClearRestartFlag();
  EXPECT_EQ(m.Readings().statusC, 0);
}

TEST(AmpModel, SwrOfAnyWordAndTheBestTuneOfTheSelectedAntenna) {
  AmpModel m;
  m.SetRf({false, 7100000, 0});
  m.SetLoad(1, {25, 30});
  m.Controls().antenna = 1;
  BestTune best = m.FindBestTune();
  EXPECT_LT(best.swr, 1.2);
  EXPECT_DOUBLE_EQ(m.Swr(best.word), best.swr);
  m.Controls().tuneWord = best.word;
  EXPECT_DOUBLE_EQ(m.Readings().swr, best.swr);
  EXPECT_GT(m.Swr(EncodeTunerWord({0, 0, TunerNetwork::B})), 2);
  // A reactance that follows frequency moves the best tune with it.
  m.SetLoad(1, {25, 30, true, 7100000});
  m.SetRf({false, 14200000, 0});
  EXPECT_GT(m.Swr(best.word), 1.5);
}
