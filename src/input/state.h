#pragma once
// Front-panel slice of the shared record.
#include <atomic>
#include <cstdint>

// Bits of ctrlFlags, one byte shared by the front panel, the keyboard, the
// menu and the amplifier link.
constexpr uint8_t CTRL_FW_UPDATE_REQUEST = 0x01;  // drives front-panel line 13 low
constexpr uint8_t CTRL_REMOTE_SERVICE = 0x02;     // a remote service shell was asked for
constexpr uint8_t CTRL_FW_UPDATE_MESSAGE = 0x04;  // "MR1;" was sent to the amplifier
constexpr uint8_t CTRL_UI_UPDATE_REQUEST = 0x08;

constexpr int PANEL_OWN_POSTS = 8;

struct InputState {
  // Mailbox to the front-panel thread: a writer waits for 0, then stores.
  std::atomic<uint8_t> panelCmd{0};
  std::atomic<uint8_t> panelLastCmd{0};  // being sent; 255 when idle
  // Last reply per command class: version, 12 V, 15 V and amplifier supply counts.
  std::atomic<uint8_t> panelReply[4]{};
  // 1 while the front-panel thread runs; without it nobody empties panelCmd.
  std::atomic<uint8_t> panelThreadRunning{0};
  std::atomic<uint32_t> panelCountdown{0};  // 2 ms passes left until the next exchange
  std::atomic<uint8_t> panelRotIdx{0};      // position in the query rotation, 0..4
  std::atomic<uint8_t> ctrlFlags{0};

  // Commands the front-panel thread posts to itself (a key's action): it
  // cannot wait for its own mailbox, so they queue here, in order, for the
  // next free slots. Touched by the front-panel thread only.
  uint8_t ownPosts[PANEL_OWN_POSTS]{};
  int ownPostCount = 0;
};

// Long-press time of the front-panel keys, seconds.
extern std::atomic<double> TIME_LONG_PRESS;
