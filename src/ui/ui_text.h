#pragma once
// Texts of the user interface on the screen being composed: formatted into a
// bounded buffer, then drawn into the work buffer.
#include <cstdint>

struct Works;

struct Colour {
  uint8_t r, g, b;
};
constexpr Colour WHITE{255, 255, 255}, BLACK{0, 0, 0}, LIGHT{250, 250, 250}, ORANGE{250, 150, 0};

constexpr int UI_TEXT_MAX = 160;  // longest text a screen draws, in bytes

// Nothing is drawn without a display.
void DrawText(Works *works, int slotNumber, int x, int y, Colour colour, const char *format, ...)
    __attribute__((format(printf, 6, 7)));
