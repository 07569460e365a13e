#include "sim/transceiver/ext_io_messages.h"

#include <cmath>

namespace {
uint8_t Digit(uint32_t value) { return static_cast<uint8_t>(0x30 + (value & 0x0F)); }

// `count` hexadecimal digits, most significant first.
void PutDigits(std::vector<uint8_t> &out, size_t at, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; i--, value >>= 4) out[at + i] = Digit(value);
}

struct Station {
  double freqHz;
  double levelDb;
  double widthHz;
};

// A few stations on the bands the defaults tune to.
const Station STATIONS[] = {
    {14074000, -60, 2500}, {14076500, -82, 600}, {14200000, -55, 2700}, {7074000, -58, 2500},
    {7100000, -70, 2700},  {3573000, -65, 2500}, {21074000, -72, 2500}, {28074000, -78, 2500},
};
constexpr double NOISE_FLOOR_DB = -118;
}  // namespace

std::vector<uint8_t> FrameExtIoMessage(uint8_t type, const std::vector<uint8_t> &payload) {
  std::vector<uint8_t> message{type, static_cast<uint8_t>('0' + type)};
  uint32_t len = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; i++, len >>= 4) message.push_back(Digit(len));
  message.insert(message.end(), payload.begin(), payload.end());
  return message;
}

std::vector<uint8_t> EncodeParameterBlock(const TrxState &s, bool blockVfoB) {
  std::vector<uint8_t> b(31, 0);
  b[0] = static_cast<uint8_t>(0x40 | (s.vfoB ? 0x20 : 0) | (blockVfoB ? 0x10 : 0) |
                              (s.memMode ? 0x01 : 0));
  uint32_t freq = s.memMode ? s.freqMem : blockVfoB ? s.freqB : s.freqA;
  PutDigits(b, 1, freq, 8);
  b[9] = static_cast<uint8_t>(0x80 | (s.tx ? 0x40 : 0) | ((blockVfoB ? s.modeB : s.modeA) & 0x0F));
  b[10] = 0x40;  // main volume in byte 22, all signs positive
  b[11] = static_cast<uint8_t>(0x40 | (s.squelch & 0x0F));
  b[12] = 0x80 | (2 << 3);
  b[13] = 0x40 | 1;
  b[14] = static_cast<uint8_t>(0x30 | (s.nr & 0x0F));
  b[15] = static_cast<uint8_t>(0x30 | (s.nb & 0x0F));
  b[16] = 0x60 | 4;
  b[17] = 0x60 | 9;
  b[18] = 0x30 | 2;
  b[19] = 0x60 | (1 << 2) | 2;
  b[20] =
      static_cast<uint8_t>(0x40 | (s.att ? 0x10 : 0) | (s.lp ? 0x08 : 0) | ((s.an & 3) << 1) | 1);
  b[21] = static_cast<uint8_t>(211 + s.signal);
  b[22] = static_cast<uint8_t>(s.volume & 0x7F);
  PutDigits(b, 23, static_cast<uint32_t>(s.offset3), 3);
  PutDigits(b, 26, static_cast<uint32_t>(s.offset5) & 0xFFFFF, 5);
  return b;
}

std::vector<uint8_t> SynthSpectrumLine(const TrxState &state, std::mt19937 &noise) {
  std::normal_distribution<double> jitter(0, 2.5);
  double centre = state.OperatingFreq();
  std::vector<uint8_t> line(SPECTRUM_BINS);
  for (int k = 0; k < SPECTRUM_BINS; k++) {
    double f = centre + (k - SPECTRUM_BINS / 2) * SPECTRUM_BIN_HZ;
    // Powers add: the floor plus every station whose passband covers the bin.
    double power = std::pow(10, NOISE_FLOOR_DB / 10);
    for (const Station &st : STATIONS) {
      double off = (f - st.freqHz) / (st.widthHz / 2);
      if (std::fabs(off) < 1.5) power += std::pow(10, st.levelDb / 10) * std::exp(-off * off * 4);
    }
    double db = 10 * std::log10(power) + jitter(noise);
    line[k] = static_cast<uint8_t>(std::lround(std::fmin(63, std::fmax(-192, db)) + 192));
  }
  return line;
}
