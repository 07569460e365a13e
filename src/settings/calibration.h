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
  float kCorr;           // kCorr × forward power is added to the reflected power
  float sogliaPwin;      // W
  float sogliaCorrente;  // A
  float sogliaRefl;      // W
  float sogliaFwd;       // W
  int32_t tuneL[5];
  int32_t tuneC[5];
  int32_t tuneStep;
};

struct Works;

// Coefficient kinds of SearchK.
enum CalibK : int { K_FWD = 0, K_REFL = 1, K_PWIN = 2, K_CORR = 3 };

// Reads config.txt into tabCalib / nRowCalib (once, at start-up).
void ReadConfigFile(Works *works);

// Index of the row whose range holds `freq`, or −1. The last row only closes
// the range of the one before it.
int CalibRowFor(Works *works, uint32_t freq);

// The coefficient of `type` for the current frequency.
float SearchK(Works *works, int type);

// Recomputes the protection thresholds for the current frequency and queues
// the threshold command when the row changes.
void SearchCambioSoglie_TS(Works *works);
