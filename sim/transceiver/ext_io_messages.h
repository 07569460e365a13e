#pragma once
// What the simulated companion transceiver sends on its extended-IO port:
// parameter blocks and panoramic spectrum lines, each framed as a typed
// message with a hexadecimal length.
#include <cstdint>
#include <random>
#include <vector>

// The transceiver's own state, as its parameter block reports it.
struct TrxState {
  uint32_t freqA = 14074000;
  uint32_t freqB = 7074000;
  uint32_t freqMem = 14200000;
  bool vfoB = false;     // the operating VFO is B
  bool memMode = false;  // working on a memory channel
  int modeA = 6;
  int modeB = 4;
  bool tx = false;
  int squelch = 3;  // 0 = off, 1..15
  int volume = 30;  // 0..127
  int nr = 0, nb = 0;
  bool att = false, lp = false;
  int an = 1;          // 0..3
  int offset3 = 1500;  // 0..0xFFF
  int offset5 = 0;     // signed, 20 bits
  int signal = 0;      // byte 21 − 211
  double driveW = 10;  // carrier power into the amplifier
  int tuneLevel = 0;   // last "TU" value

  uint32_t OperatingFreq() const { return memMode ? freqMem : vfoB ? freqB : freqA; }
  int OperatingMode() const { return vfoB ? modeB : modeA; }
};

constexpr uint8_t EXT_IO_SPECTRUM = 0;
constexpr uint8_t EXT_IO_PARAMETERS = 1;
constexpr int SPECTRUM_BINS = 1024;
constexpr double SPECTRUM_BIN_HZ = 187.5;

// Type byte, kind character, four length digits (least significant first),
// payload.
std::vector<uint8_t> FrameExtIoMessage(uint8_t type, const std::vector<uint8_t> &payload);

// The 31-byte parameter block for one VFO (B when `blockVfoB`; in memory mode
// the block carries the memory frequency).
std::vector<uint8_t> EncodeParameterBlock(const TrxState &state, bool blockVfoB);

// A synthetic panadapter line centred on the operating frequency: a noisy
// floor and a few stations at fixed frequencies, one byte per bin (dB + 192).
std::vector<uint8_t> SynthSpectrumLine(const TrxState &state, std::mt19937 &noise);
