#include "input/panel_keys.h"

#include <algorithm>
#include <cmath>

#include "core/clock.h"
#include "core/works.h"
#include "ui/key_dispatch.h"

namespace {
constexpr int DEBOUNCE_SAMPLES = 5;
constexpr int64_t FIRST_REPEATS_MICROS = 100000;
constexpr int64_t FAST_REPEATS_MICROS = 20000;
constexpr int SLOW_REPEATS = 14;
constexpr int64_t LONG_PRESS_WARNING_MICROS = 150000;

PanelKeyWatcher watcher;

int Deliver(Works *works, PanelKeys &k, int key, int holdMask) {
  int result = k.dispatch(works, key, holdMask);
  if (watcher) watcher(key, holdMask, result);
  return result;
}

bool OthersReleased(const PanelKeys &k, int key) {
  for (int i = 0; i < PANEL_KEYS; i++)
    if (i != key && k.state[i] == 0) return false;
  return true;
}

// Accepts a new level after five differing samples in a row, while no other
// key is down; returns the bits of the keys released in this pass.
uint8_t Debounce(PanelKeys &k, uint32_t levels) {
  uint8_t released = 0;
  for (int i = 0; i < PANEL_KEYS; i++) {
    int level = (levels >> (PANEL_FIRST_KEY_LINE + i)) & 1;
    if (level == k.state[i]) {
      k.differing[i] = 0;
      continue;
    }
    k.differing[i] = std::min(k.differing[i] + 1, DEBOUNCE_SAMPLES);
    if (k.differing[i] < DEBOUNCE_SAMPLES || !OthersReleased(k, i)) continue;
    k.state[i] = level;
    k.differing[i] = 0;
    if (level == 1) released |= uint8_t(1u << i);
  }
  return released;
}

int64_t ThresholdMicros(int repeats) {
  if (repeats == 0) return std::llround(TIME_LONG_PRESS * 1e6);
  return repeats <= SLOW_REPEATS ? FIRST_REPEATS_MICROS : FAST_REPEATS_MICROS;
}

void TimePressedKey(Works *works, PanelKeys &k, int i, int64_t now) {
  uint8_t bit = uint8_t(1u << i);
  if (k.timing == 0) {
    k.startMicros = now;
    k.timing = bit;
  }
  if (!(k.timing & bit) || (k.held & bit)) return;
  int64_t elapsed = now - k.startMicros, threshold = ThresholdMicros(k.repeats);
  // "Entering second function..." belongs to the first threshold only.
  if (k.repeats == 0 && elapsed - threshold > -LONG_PRESS_WARNING_MICROS)
    works->ui.uiMessage.fetch_or(UI_MSG_LONG_PRESS);
  if (elapsed <= threshold) return;
  if (Deliver(works, k, i + 1, bit)) {
    k.startMicros = now;
    k.repeats = std::min(k.repeats + 1, SLOW_REPEATS + 1);
  } else {
    k.held |= bit;
  }
}

void EndPress(Works *works, PanelKeys &k, int i) {
  uint8_t bit = uint8_t(1u << i);
  if (!(k.held & bit)) Deliver(works, k, i + 1, 0);
  k.repeats = 0;
  k.held &= uint8_t(~bit);
  k.timing &= uint8_t(~bit);
}
}  // namespace

PanelKeys::PanelKeys() : dispatch(DecodeTasto) {}

void PanelKeysPass(Works *works, PanelKeys &keys, uint32_t levels) {
  uint8_t released = Debounce(keys, levels);
  int64_t now = MonotonicMicros();
  for (int i = 0; i < PANEL_KEYS; i++) {
    if (keys.state[i] == 0)
      TimePressedKey(works, keys, i, now);
    else if (released & (1u << i))
      EndPress(works, keys, i);
  }
}

void WatchPanelKeys(PanelKeyWatcher w) { watcher = std::move(w); }
