#pragma once
// The `GPIO` thread: the front-panel keys, its two output lines and the byte
// link to the front-panel controller, one pass every 2 ms.
#include <cstdint>

#include "input/panel_keys.h"
#include "input/panel_lines.h"

struct Works;

struct GpioContext {
  PanelLines lines;
  PanelKeys keys;
  int64_t slotStart = 0;  // monotonic µs when the link's current slot began
};

// Opens the register block and sets the lines up. When the block cannot be
// had the unit ends in order: the run flag drops and `main` returns 8
// (255 when the mapping failed); false then.
bool GpioSetUp(Works *works, GpioContext &ctx);

// One pass, including its pause (tests drive passes one by one).
void GpioPass(Works *works, GpioContext &ctx);

// Thread body: set-up, then passes until the run flag drops.
void GPIO(Works *works);
