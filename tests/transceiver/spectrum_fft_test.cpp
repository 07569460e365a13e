#include "transceiver/spectrum_fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "remote/ws_frame.h"
#include "settings/setup_record.h"
#include "tests/remote/remote_harness.h"

namespace {
// Interleaved I/Q of complex tones: bin `bin` of an N-point transform, with
// amplitude `amplitude` (after the stream's scaling).
struct Tone {
  double bin;
  double amplitude;
};

std::vector<float> Samples(int n, std::initializer_list<Tone> tones) {
  std::vector<float> s(FFT_SAMPLE_COUNT, 0.0f);
  for (int j = 0; j < n; j++) {
    for (const Tone &t : tones) {
      double phase = 2 * std::numbers::pi * t.bin * j / n;
      s[2 * j] += float(t.amplitude * std::cos(phase));
      s[2 * j + 1] += float(t.amplitude * std::sin(phase));
    }
  }
  return s;
}

std::vector<uint8_t> Line(const std::vector<float> &samples, char enable1600) {
  std::vector<uint8_t> line(FFT_LINE_MAX);
  line.resize(SpectrumLine(samples.data(), enable1600, line.data()));
  return line;
}

int Peak(const std::vector<uint8_t> &line) {
  return int(std::max_element(line.begin(), line.end()) - line.begin());
}

// The byte of a tone of `amplitude` exactly on a bin: the window's sum
// scales it, and the magnitude is divided by N/2.
int ExpectedPeakByte(int n, double amplitude) {
  double sum = 0;
  for (int i = 1; i < n; i++) {
    double x = 2 * std::numbers::pi * i / (n - 1);
    sum += 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
  }
  return int(std::trunc(20 * std::log10(amplitude * sum / (n / 2.0)))) + 192;
}
}  // namespace

TEST(SpectrumFft, ZeroFrequencySitsInTheMiddleAndOffsetsOnTheirSide) {
  std::vector<uint8_t> centre = Line(Samples(2048, {{0, 0.01}}), '0');
  ASSERT_EQ(centre.size(), 854u);
  EXPECT_EQ(Peak(centre), 427);
  EXPECT_EQ(centre[427], ExpectedPeakByte(2048, 0.01));
  // 200 bins of 93.75 Hz above and below: positions 1224 and 824 of the
  // shifted line. Swapped I and Q would mirror them.
  EXPECT_EQ(Peak(Line(Samples(2048, {{200, 0.01}}), '0')), 527);
  EXPECT_EQ(Peak(Line(Samples(2048, {{-200, 0.01}}), '0')), 327);

  std::vector<uint8_t> wide = Line(Samples(4096, {{401, 0.01}}), '1');
  ASSERT_EQ(wide.size(), 1706u);
  EXPECT_EQ(Peak(wide), (2048 + 401 - 341) / 2);
  EXPECT_EQ(wide[1054], ExpectedPeakByte(4096, 0.01));
}

TEST(SpectrumFft, SilenceAndBrokenSamplesReadAsTheFloorAndLoudOnesAsTheCeiling) {
  for (char enable1600 : {'0', '1'}) {
    std::vector<uint8_t> silent = Line(std::vector<float>(FFT_SAMPLE_COUNT, 0.0f), enable1600);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](uint8_t b) { return b == 0; }));
    std::vector<float> broken(FFT_SAMPLE_COUNT, std::numeric_limits<float>::quiet_NaN());
    std::vector<uint8_t> floor = Line(broken, enable1600);
    EXPECT_TRUE(std::all_of(floor.begin(), floor.end(), [](uint8_t b) { return b == 0; }));
  }
  std::vector<uint8_t> loud = Line(Samples(2048, {{0, 1e6}}), '0');
  EXPECT_EQ(loud[427], 50 + 192);
}

TEST(SpectrumFft, ChangingTheSizeRemakesTheTablesBothWays) {
  // Any value but '0' is the large size.
  for (char enable1600 : {'0', '1', '0', 'x', '0'}) {
    bool small = enable1600 == '0';
    int n = small ? 2048 : 4096, bin = small ? -40 : -41;  // bins that are kept
    std::vector<uint8_t> line = Line(Samples(n, {{double(bin), 0.003}}), enable1600);
    int at = (n / 2 + bin - (small ? 170 : 341)) / 2;
    EXPECT_EQ(Peak(line), at) << enable1600;
    EXPECT_EQ(line[at], ExpectedPeakByte(n, 0.003)) << enable1600;
  }
}

TEST(SpectrumFft, ALineGoesToTheConnectedPeerAsChunks) {
  LinkedWorks linked;
  Works *works = linked.works.works;
  WriteSetupFlag(works->cfg.setup->Enable1600, '0');
  std::vector<float> tone = Samples(2048, {{0, 0.01}});
  fftCalc(tone.data(), FFT_SAMPLE_COUNT, works);
  PeerFrame first, second;
  ASSERT_TRUE(linked.peer.ReadTagged("SP", first));
  ASSERT_TRUE(linked.peer.ReadTagged("SP", second));
  ASSERT_EQ(first.payload.size(), 520u);
  EXPECT_EQ(GetBE32(first.payload.data()), 854u);
  EXPECT_EQ(GetBE32(second.payload.data() + 4), 512u);
  EXPECT_EQ(second.payload[8 + 854 - 512], 0);  // beyond the line
  EXPECT_EQ(first.payload[8 + 427], ExpectedPeakByte(2048, 0.01));

  works->remote.wsConnected = 0;
  fftCalc(tone.data(), FFT_SAMPLE_COUNT, works);
  EXPECT_FALSE(linked.peer.Read(first, 0.3));
}
