#pragma once
// The status area under the meters (boxed fields, messages, debug lines) and
// the transmit indicator.
struct Works;

// Attenuator texts by display state: steps 0..3 in dB, 4 stand-by.
constexpr int ATT_TEXTS = 5;
extern const char AttVectStr[ATT_TEXTS][5];

// The tuner's network by its mode: "CL", "LC" or "ByP".
const char *NetworkName(int mode);

// The status area of the main screen; nothing while a port failure is shown
// or a page or menu covers the main screen.
void DrawParameters(Works *works);
// The red "TX" box while the amplifier transmits (meter windows only).
void ViewStatusTX(Works *works);
