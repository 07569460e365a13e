#pragma once
// One row of config.txt: the power-meter coefficients, the protection
// thresholds and the fast auto-tune start points of a frequency range.
#include <cstdint>

struct CalibRow {
  uint32_t fStart;   // Hz, lower bound of the row's range
  uint32_t fSecond;  // stored and printed only
  float kFwd;        // watts per squared converter count
  float kRefl;
  float kPwin;
  float kCorr;  // kCorr × forward power is added to the reflected power
  float sogliaPwin;      // W
  float sogliaCorrente;  // A
  float sogliaRefl;      // W
  float sogliaFwd;       // W
  int32_t tuneL[5];
  int32_t tuneC[5];
  int32_t tuneStep;
};
