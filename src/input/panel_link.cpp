#include "input/panel_link.h"

#include <algorithm>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "input/panel_lines.h"
#include "input/panel_mailbox.h"

namespace {
constexpr int64_t HALF_BIT_MICROS = 200;
constexpr int64_t PASS_MICROS = 2000;
constexpr int TURNAROUND_HALF_BITS = 3;
constexpr int REPLY_BITS = 12;
constexpr uint8_t ROTATION[] = {0xD1, 0xD2, 0xD3, 0xD0};
constexpr uint8_t ROTATION_SLOTS = 5;  // the four queries and an empty slot

void HalfBit() { SleepMicros(HALF_BIT_MICROS); }

void PickNextCommand(InputState &in, uint8_t posted) {
  if (posted) {
    LogErr("CMD TINY %0x\n", posted);
    in.panelLastCmd = posted;
    return;
  }
  uint8_t idx = in.panelRotIdx;
  if (idx < ROTATION_SLOTS - 1) in.panelLastCmd = ROTATION[idx];
  in.panelRotIdx = static_cast<uint8_t>((idx + 1) % ROTATION_SLOTS);
}
}  // namespace

uint8_t ExchangePanelByte(PanelLines &lines, uint8_t command) {
  for (int bit = 7; bit >= 0; bit--) {
    lines.SetOutput(PANEL_CLOCK_LINE, true);
    HalfBit();
    lines.SetOutput(PANEL_DATA_LINE, (command >> bit) & 1);
    HalfBit();
    lines.SetOutput(PANEL_CLOCK_LINE, false);
    HalfBit();
  }
  lines.SetFunction({PANEL_DATA_LINE}, GPIO_FSEL_INPUT);
  SleepMicros(TURNAROUND_HALF_BITS * HALF_BIT_MICROS);
  uint32_t value = 0;
  for (int i = 0; i < REPLY_BITS; i++) {
    lines.SetOutput(PANEL_CLOCK_LINE, false);
    HalfBit();
    value = (value << 1) | ((lines.Levels() >> PANEL_DATA_LINE) & 1);
    lines.SetOutput(PANEL_CLOCK_LINE, true);
    HalfBit();
  }
  lines.SetFunction({PANEL_DATA_LINE}, GPIO_FSEL_OUTPUT);
  lines.SetOutput(PANEL_DATA_LINE, true);
  lines.SetOutput(PANEL_CLOCK_LINE, true);
  return static_cast<uint8_t>(value);
}

void SchedulePanelLink(Works *works, int64_t &slotStart) {
  InputState &in = works->input;
  if (in.panelLastCmd != PANEL_LINK_IDLE) return;
  int64_t now = MonotonicMicros();
  if (in.panelCountdown > 0) {
    // Passes are timed on the clock, not counted: a slow pass does not
    // stretch the slot.
    int64_t passed = (now - slotStart) / PASS_MICROS;
    in.panelCountdown = static_cast<uint32_t>(std::max<int64_t>(0, PANEL_SLOT_PASSES - passed));
    return;
  }
  in.panelCountdown = PANEL_SLOT_PASSES;
  slotStart = now;
  PickNextCommand(in, TakePanelCmd(works));
}

void RunPanelExchange(Works *works, PanelLines &lines) {
  InputState &in = works->input;
  uint8_t command = in.panelLastCmd;
  if (command == PANEL_LINK_IDLE) return;
  in.panelReply[command & 3] = ExchangePanelByte(lines, command);
  in.panelLastCmd = PANEL_LINK_IDLE;
}
