#pragma once
// Transceiver slice of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

// The companion transceiver's parameter record: 52 signed words.
struct TavoParamsRecord {
  int32_t word[52];
};

// Spectrum levels: the level array written by the extended-IO link and a
// work array of the plot.
struct SpectrumRecord {
  float *levels = nullptr;
  float *work = nullptr;
};

struct TransceiverState {
  TavoParamsRecord *TavoParams = nullptr;
  std::mutex *serMut = nullptr;  // guards TavoParams and the spectrum levels
  SpectrumRecord *spectrum = nullptr;
  std::atomic<int32_t> catFreq{0};        // last FT-817 frequency, Hz
  std::atomic<int32_t> spectrumSpan{0};   // Hz
};
