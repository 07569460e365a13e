#include <gtest/gtest.h>

#include "sim/amplifier/tuner_network.h"

TEST(AmpTuner, WordBitMapAndNetworkRelays) {
  // C value bits go to word bits 15,2,4,6,14,12,10,8,20; L to 1,3,5,7,13,11,9,19,21.
  EXPECT_EQ(DecodeTunerWord(1u << 15).c, 1);
  EXPECT_EQ(DecodeTunerWord(1u << 20).c, 256);
  EXPECT_EQ(DecodeTunerWord(1u << 1).l, 1);
  EXPECT_EQ(DecodeTunerWord(1u << 19).l, 128);
  EXPECT_EQ(DecodeTunerWord(0x00800000).network, TunerNetwork::B);
  EXPECT_EQ(DecodeTunerWord(0x00040000).network, TunerNetwork::A);
  EXPECT_EQ(DecodeTunerWord(0x00010000).network, TunerNetwork::Bypass);
  EXPECT_EQ(DecodeTunerWord(0).network, TunerNetwork::Bypass);
  EXPECT_EQ(DecodeTunerWord(0x00840000).network, TunerNetwork::Bypass);  // both networks
  EXPECT_EQ(DecodeTunerWord(0x00810000).network, TunerNetwork::Bypass);  // bypass relay wins
  // Bits of neither group (0, 17, 22, 24..31) change nothing.
  EXPECT_EQ(DecodeTunerWord(0xFF420001 | (1u << 23)), (TunerSetting{0, 0, TunerNetwork::B}));

  for (TunerSetting s :
       {TunerSetting{511, 0, TunerNetwork::A}, TunerSetting{0, 511, TunerNetwork::B},
        TunerSetting{300, 77, TunerNetwork::Bypass}}) {
    uint32_t word = EncodeTunerWord(s);
    EXPECT_EQ(DecodeTunerWord(word), s);
    EXPECT_EQ(word & ((1u << 0) | (1u << 17) | (1u << 22) | 0xFF000000u), 0u);
  }
}

TEST(AmpTuner, BypassSwrOfPlainLoads) {
  TunerModel tuner;
  TunerSetting bypass;
  auto swr = [&](Impedance load) {
    return SwrFromReflection(ReflectionMagnitude(tuner.InputImpedance(bypass, load, 7.1e6)));
  };
  EXPECT_NEAR(swr({50, 0}), 1.0, 1e-9);
  EXPECT_NEAR(swr({12.5, 0}), 4.0, 1e-9);
  EXPECT_NEAR(swr({200, 0}), 4.0, 1e-9);
  EXPECT_EQ(swr({1e-6, 0}), SWR_LIMIT);  // a short reads as the limit
  EXPECT_EQ(tuner.Efficiency(bypass, {12.5, 40}, 7.1e6), 1.0);
}

TEST(AmpTuner, BestTuneMatchesTheLoadWithTheRightNetwork) {
  TunerModel tuner;
  BestTune best = tuner.FindBestTune({25, 30}, 7.1e6);
  EXPECT_LT(best.swr, 1.2);
  EXPECT_NE(best.setting.network, TunerNetwork::Bypass);
  EXPECT_EQ(DecodeTunerWord(best.word), best.setting);
  // The figure is what the found word really gives.
  Impedance z = tuner.InputImpedance(best.setting, {25, 30}, 7.1e6);
  EXPECT_NEAR(SwrFromReflection(ReflectionMagnitude(z)), best.swr, 1e-9);
  // No word of a sparse sweep, evaluated the slow way, beats it.
  for (TunerNetwork net : {TunerNetwork::A, TunerNetwork::B})
    for (int l = 0; l < TUNER_STEPS; l += 3)
      for (int c = 0; c < TUNER_STEPS; c += 3) {
        Impedance zi = tuner.InputImpedance({l, c, net}, {25, 30}, 7.1e6);
        ASSERT_GE(SwrFromReflection(ReflectionMagnitude(zi)), best.swr - 1e-9);
      }

  // The shunt capacitor belongs on the high-impedance side: network B (C on
  // the transmitter side) for a low load, network A for a high one.
  EXPECT_EQ(tuner.FindBestTune({12.5, 0}, 14.2e6).setting.network, TunerNetwork::B);
  EXPECT_EQ(tuner.FindBestTune({200, 0}, 14.2e6).setting.network, TunerNetwork::A);
  // A matched load needs nothing.
  EXPECT_EQ(tuner.FindBestTune({50, 0}, 14.2e6).setting.network, TunerNetwork::Bypass);
}

TEST(AmpTuner, LossesGrowWithTheInductance) {
  TunerModel tuner;
  double small = tuner.Efficiency({20, 60, TunerNetwork::A}, {25, 30}, 7.1e6);
  double large = tuner.Efficiency({400, 60, TunerNetwork::A}, {25, 30}, 7.1e6);
  EXPECT_GT(small, 0.95);
  EXPECT_LT(small, 1.0);
  EXPECT_LT(large, small);
  EXPECT_GT(tuner.Efficiency({20, 60, TunerNetwork::B}, {25, 30}, 7.1e6), 0.9);
}
