#pragma once
// Tuner, antenna and memory-bank slice of the shared record.
#include <atomic>
#include <cstdint>

struct TunerState {
  std::atomic<int32_t> antennaIdx{0};   // selected antenna output 0..2
  std::atomic<uint32_t> tuneVal{0};     // relay image of the tuner
  std::atomic<int32_t> valC{0};
  std::atomic<int32_t> valL{0};
  std::atomic<uint8_t> modoTune{0};
  std::atomic<int32_t> statoTune{0};    // state of the auto-tune search
  std::atomic<uint8_t> tuneStatus{0};   // 0 none, 1 running, 2 error step, 3 restart poll
  std::atomic<uint8_t> fineTune{0};     // the next tune is a fine search
  std::atomic<uint8_t> autoAntFlags{0};
  std::atomic<int32_t> autoAntCountdown{0};
  std::atomic<int32_t> modeWorkIdx{0};  // interface type: 0 generic, 1 TAVO, 2 FT-817
};
