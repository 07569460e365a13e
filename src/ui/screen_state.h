#pragma once
// Changes of the screen state and of the background that goes with it. Each
// takes the display lock; the caller holds none of the antenna, tune,
// tune-value, error or filter locks.
#include <cstdint>

struct Works;

// uiState = `state`.
void EnterState(Works *works, int32_t state);
// Puts up a table's own background ("statusB") with `page` (UI_MEMORY_TABLE
// or UI_FILTER_TABLE) shown, and enters `state`.
void OpenTable(Works *works, uint8_t page, int32_t state);
// Hides `page` of uiFlags, puts up the main window's background and enters
// `state`.
void CloseTable(Works *works, uint8_t page, int32_t state);
// The background of what is showing: the information pages', a table's, or
// the main window's (the screensaver ends).
void RestoreBackground(Works *works);
// Back to the main screen with nothing over it, whatever was showing (a
// port failure that has been dealt with, the amplifier's firmware update);
// a running test transmission is stopped on the way.
void ReturnToMainScreen(Works *works);
