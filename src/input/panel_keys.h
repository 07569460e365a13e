#pragma once
// The six front-panel keys: debounce, then long press, auto-repeat and
// short press into the key dispatch, timed on the monotonic clock.
#include <cstdint>
#include <functional>

#include "input/panel_lines.h"

struct Works;

// A key event to the key dispatch: holdMask 0 is a short press (at release),
// otherwise the key's bit for a long press or a repeat; non-zero back means
// the key repeats while it stays held.
using KeyDispatch = int (*)(Works *works, int key, int holdMask);

struct PanelKeys {
  int state[PANEL_KEYS] = {1, 1, 1, 1, 1, 1};  // debounced level, 0 pressed
  int differing[PANEL_KEYS] = {};              // consecutive samples that differ from it
  // Press timing, one for all keys (only one key can be down at a time).
  int64_t startMicros = 0;
  int repeats = 0;
  uint8_t timing = 0, held = 0;  // bit per key
  KeyDispatch dispatch;          // the key dispatch; tests put a recorder here
  PanelKeys();
};

// One pass over the keys with the level register just read.
void PanelKeysPass(Works *works, PanelKeys &keys, uint32_t levels);

// Sees every key event handed to the dispatch and its answer (the
// simulator's report). Set before the front-panel thread starts.
using PanelKeyWatcher = std::function<void(int key, int holdMask, int result)>;
void WatchPanelKeys(PanelKeyWatcher watcher);
