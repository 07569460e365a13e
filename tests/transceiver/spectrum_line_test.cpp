#include "transceiver/spectrum_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/works.h"
#include "tests/support/sandbox.h"
#include "transceiver/tavo_params.h"

namespace {
std::vector<uint8_t> Ramp(size_t len) {
  std::vector<uint8_t> line(len);
  for (size_t i = 0; i < len; i++) line[i] = static_cast<uint8_t>(i * 7);
  return line;
}

TavoParamsRecord Params(int mode, int offset3, int offset5) {
  TavoParamsRecord p{};
  p.word[tavo::mode] = mode;
  p.word[tavo::offset3] = offset3;
  p.word[tavo::offset5] = offset5;
  return p;
}
}  // namespace

TEST(SpectrumLine, AFullLineIsTurnedBy85BinsAnd854BytesGoToThePeer) {
  std::vector<uint8_t> line = Ramp(1024), out(1024);
  int shift = SpectrumShiftBins(Params(0, 1500, 0));
  EXPECT_EQ(shift, 85);
  EXPECT_EQ(ShiftSpectrumLine(line.data(), 1024, shift, out.data()), 854);
  EXPECT_EQ(out[0], line[85]);
  EXPECT_EQ(out[938], line[1023]);
  EXPECT_EQ(out[939], line[0]);  // wraps around
}

TEST(SpectrumLine, SidebandModesMoveTheLineByTheirOffsetAndNegativeShiftsWrap) {
  EXPECT_EQ(SpectrumShiftBins(Params(4, 1500, 0)), 78);  // 85 − trunc(7.9995)
  EXPECT_EQ(SpectrumShiftBins(Params(6, 1500, 0)), 92);
  EXPECT_EQ(SpectrumShiftBins(Params(0, 0, 1000)), 90);  // trunc(5.333 + 85)
  int shift = SpectrumShiftBins(Params(0, 0, -30000));   // trunc(−159.99 + 85)
  EXPECT_EQ(shift, -74);
  std::vector<uint8_t> line = Ramp(1024), out(1024);
  ShiftSpectrumLine(line.data(), 1024, shift, out.data());
  EXPECT_EQ(out[0], line[1024 - 74]);
  ShiftSpectrumLine(line.data(), 1024, shift - 2048, out.data());
  EXPECT_EQ(out[0], line[1024 - 74]);
}

TEST(SpectrumLine, ForwardedLengthStaysWithinTheTurnedLine) {
  std::vector<uint8_t> line = Ramp(2000), out(1024);
  EXPECT_EQ(ShiftSpectrumLine(line.data(), 100, 85, out.data()), 0);
  EXPECT_EQ(ShiftSpectrumLine(line.data(), 1999, 85, out.data()), 1024);
}

TEST(SpectrumLine, LevelsAreTheMiddleBytesLess192AndShortLinesLeaveZeros) {
  TestWorks works;
  std::vector<uint8_t> line = Ramp(1024);
  storeFFT(works.works, 1024, line.data());
  const float *levels = works->trx.spectrum->levels;
  EXPECT_FLOAT_EQ(levels[0], line[85] - 192.0f);
  EXPECT_FLOAT_EQ(levels[853], line[938] - 192.0f);
  EXPECT_FLOAT_EQ(levels[854], 0.0f);  // beyond the kept levels: untouched

  storeFFT(works.works, 100, line.data());
  EXPECT_FLOAT_EQ(levels[14], line[99] - 192.0f);
  EXPECT_FLOAT_EQ(levels[15], 0.0f);
}
