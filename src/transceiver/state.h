#pragma once
// Transceiver slice of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

// The companion transceiver's parameter record: 52 signed words (names of the
// words in transceiver/tavo_params.h).
struct TavoParamsRecord {
  int32_t word[52];
};

// Spectrum levels: the level array written by the extended-IO link and a
// work array of the plot, SPECTRUM_POINTS each.
constexpr int SPECTRUM_POINTS = 1024;
struct SpectrumRecord {
  float *levels = nullptr;
  float *work = nullptr;
};

struct TransceiverState {
  TavoParamsRecord *TavoParams = nullptr;
  std::mutex *serMut = nullptr;   // guards TavoParams and the spectrum levels
  bool tavoParamsZeroed = false;  // under serMut: the record was cleared before its first block
  SpectrumRecord *spectrum = nullptr;
  std::atomic<int32_t> catFreq{0};       // last FT-817 frequency, Hz
  std::atomic<int32_t> spectrumSpan{0};  // Hz

  // Extended-IO link.
  std::atomic<int32_t> serFD{-1};
  std::atomic<int32_t> extIoHoldoff{0};  // ms; no new link time-out is reported while non-zero
  std::atomic<int32_t> rxHoldoff{0};     // set when "RX;" answers a user request

  // FT-817 poller and the companion transceiver's CAT port.
  std::atomic<int32_t> catSerFD{-1};
  std::atomic<int32_t> catFD{-1};  // -1 when closed
  // Held while catFD is written by another thread than its owner (the CAT
  // relay) and while the owner closes it, so that no text reaches a reused
  // descriptor number.
  std::mutex catPortMutex;
  std::atomic<uint8_t> catMode{0};  // raw operating-mode byte of the FT-817
};
