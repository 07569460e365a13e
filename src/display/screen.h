#pragma once
// Screen steps shared by the start-up, the shutdown and the periodic timer.
// Each holds the display lock while it draws; without a display they do
// nothing (the program goes on without one).
#include <cstdint>

struct Works;

// The picture becomes the background of every later screen.
void LoadBackground(Works *works, const char *name);
// Starts a new screen from the background.
void CopyBackground(Works *works);
// Shows the composed screen.
void ShowScreen(Works *works);
// Loads the picture and shows it at once.
void ShowBackground(Works *works, const char *name);
// Draws a text over the screen being composed and shows it.
void ShowText(Works *works, int slotNumber, int x, int y, const char *text, uint8_t red,
              uint8_t green, uint8_t blue);
// The pending port failure, "Error! <message>", on the screen being composed.
void DrawLinkError(Works *works);
