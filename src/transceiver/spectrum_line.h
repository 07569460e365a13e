#pragma once
// Spectrum lines of the companion transceiver's panoramic display.
#include <cstdint>

#include "transceiver/state.h"

struct Works;

constexpr int SPECTRUM_LINE_BYTES = 1024;  // one line as the transceiver sends it
constexpr int SPECTRUM_LEVELS = 854;       // levels kept from the middle of a line
constexpr int SPECTRUM_FIRST_BIN = 85;     // first byte of the line that becomes a level

// Stores bytes 85..938 of a line of `len` bytes as levels in dB (byte − 192)
// from index 0 of the spectrum record, under serMut. Slots the line does not
// reach are set to 0.
void storeFFT(Works *works, int len, const uint8_t *line);

// Bins (187.5 Hz each) by which a line is turned before it goes to the peer,
// from the mode and the two offsets of the transceiver's record.
int SpectrumShiftBins(const TavoParamsRecord &params);

// out[k] = line[(shift + k) mod 1024] for k = 0..1023; returns how many of the
// output bytes are forwarded: len − 170, kept within 0..1024. `line` holds at
// least 1024 bytes.
int ShiftSpectrumLine(const uint8_t *line, int len, int shift, uint8_t *out);

// The line as the peer receives it ("SP"), while this link is the spectrum
// source; `line` holds at least 1024 bytes.
void ForwardSpectrumLine(Works *works, const uint8_t *line, int len);
