#pragma once
// Observation of what the display shows, for the simulator's report and the
// tests: every text drawn, and the moments a screen is started afresh and
// shown. The product leaves the hooks null. They are set before any thread
// draws.
#include <cstdint>

struct ScreenObserver {
  void (*textDrawn)(int slotNumber, int x, int y, const char *text, uint8_t red, uint8_t green,
                    uint8_t blue) = nullptr;
  void (*screenStarted)() = nullptr;  // the work buffer was overwritten as a whole
  void (*screenShown)() = nullptr;    // the work buffer was copied to the screen
};
extern ScreenObserver screenObserver;
