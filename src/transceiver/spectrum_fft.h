#pragma once
// Spectrum lines from the companion receiver's IQ samples: a 4-term
// Blackman-Harris window, a radix-2 decimation-in-frequency FFT, magnitudes
// in dB (byte = dB + 192, −192 … 50 dB) with zero frequency in the middle,
// and every second point of the centre part.
#include <cstdint>

struct Works;

constexpr int FFT_SAMPLE_COUNT = 8192;  // floats per line: 4096 I/Q pairs
constexpr int FFT_LINE_MAX = 1706;      // points of the longest line

// Points of a line for the `Enable1600` setting: 854 ('0', 2048-point FFT)
// or 1706 (otherwise, 4096 points).
int SpectrumLinePoints(char enable1600);

// Computes one line from interleaved I/Q floats (the first 2N of them) into
// `line` (room for FFT_LINE_MAX bytes); returns its length. The window and
// twiddle tables are made again whenever `enable1600` differs from the last
// call. Not reentrant: one stream thread makes the lines.
int SpectrumLine(const float *samples, char enable1600, uint8_t *line);

// The line of `samples` to the peer (as "SP" frames) while one is connected.
void fftCalc(const float *samples, int count, Works *works);
