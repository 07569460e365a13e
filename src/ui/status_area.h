#pragma once
// The status area under the meters (boxed fields, messages, debug lines) and
// the transmit indicator.
struct Works;

// Attenuator texts by display state: steps 0..3 in dB, 4 stand-by.
constexpr int ATT_TEXTS = 5;
extern const char AttVectStr[ATT_TEXTS][5];

// The tuner's network by its mode: "CL", "LC" or "ByP".
const char *NetworkName(int mode);

// Over the button bar: the status area of the main screen, or the menu strip,
// the memory table or the filter table when one of them is shown; nothing
// while a port failure is shown or the information pages cover the screen.
void DrawParameters(Works *works);
// The red "TX" box while the amplifier transmits (meter windows only).
void ViewStatusTX(Works *works);
