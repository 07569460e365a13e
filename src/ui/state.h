#pragma once
// User-interface slice of the shared record and the meter globals.
#include <atomic>
#include <cstdint>

// Bits of uiMessage, the messages the screens show.
constexpr uint8_t UI_MSG_LONG_PRESS = 0x01;  // "Entering second function..."

struct UiState {
  std::atomic<int32_t> mainWindow{0};  // main-window mode 1..5
  std::atomic<uint8_t> uiFlags{0};     // status-page flags
  std::atomic<uint8_t> uiMessage{0};   // UI_MSG_* bits
  std::atomic<int32_t> menuIndex{0};
  std::atomic<int32_t> menuItem{0};
};

// Meter scales and peak-hold behaviour.
extern std::atomic<int32_t> number_ofStep_meter_FWD;
extern std::atomic<int32_t> number_ofStep_meter_REFL;
extern std::atomic<int32_t> number_ofStep_meter_SWR;
extern std::atomic<int32_t> number_ofStep_meter_PW;
extern std::atomic<int32_t> fattoremedia;
extern std::atomic<double> PeakDecrement;
extern std::atomic<int32_t> PeakDecrementTime;
extern std::atomic<int32_t> TimerPeakSec;
