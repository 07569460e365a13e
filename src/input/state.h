#pragma once
// Front-panel slice of the shared record.
#include <atomic>
#include <cstdint>

struct InputState {
  // Mailbox to the front-panel thread: a writer waits for 0, then stores.
  std::atomic<uint8_t> panelCmd{0};
  std::atomic<uint8_t> panelLastCmd{0};
  // Last reply per command class: version, 12 V, 15 V and amplifier supply counts.
  std::atomic<uint8_t> panelReply[4]{};
  // 1 while the front-panel thread runs; without it nobody empties panelCmd.
  std::atomic<uint8_t> panelThreadRunning{0};
  // Control flags: bit 0 firmware-update request (line 13), bit 1 remote
  // service request, bit 2 firmware-update message, bit 3 UI-update request.
  std::atomic<uint8_t> ctrlFlags{0};
};

constexpr uint8_t CTRL_FW_UPDATE_MESSAGE = 0x04;

// Long-press time of the front-panel keys, seconds.
extern std::atomic<double> TIME_LONG_PRESS;
