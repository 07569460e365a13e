#pragma once
// Meter faces that fit the needles the main screen draws: each scale mark
// lies on the needle that the program draws for that value (the program's
// own needle and SWR-scale formulas).
#include <string>
#include <vector>

#include "canvas.h"
#include "ui/meters.h"

// Needle pivots of the forward and the second meter, as the program's.
constexpr Point FORWARD_PIVOT{FWD_PIVOT_X, PIVOT_Y};
constexpr Point AUX_PIVOT{AUX_PIVOT_X, PIVOT_Y};

enum class Tick { Minor, Middle, Major };

struct ScaleMark {
  double position;  // in meter units, 0 … full scale
  Tick tick;
  std::string label;    // empty: no number
  bool symbol = false;  // drawn larger (the infinity sign)
};

struct MeterScale {
  Point pivot;
  double fullScale;  // meter units of the needle's full deflection
  std::vector<ScaleMark> marks;
  double warningFrom = -1;  // meter units where the red zone starts; < 0 none
  std::string legend;       // unit under the scale
};

struct MeterFonts {
  const Font &numbers;
  const Font &symbols;
  const Font &legend;
};

// Watts from 0 to `fullScale` (60 or 120).
MeterScale PowerScale(Point pivot, int fullScale);
// SWR 1 … ∞ through the conversion table, full scale 60 units.
MeterScale SwrScale(Point pivot);

void DrawMeterScale(Canvas &canvas, const MeterScale &scale, const MeterFonts &fonts);
