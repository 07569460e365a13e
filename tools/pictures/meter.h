#pragma once
// Meter faces that fit the needles the main screen draws: each scale mark
// lies on the needle that the program draws for that value.
#include <string>
#include <vector>

#include "canvas.h"

// Needle pivots of the forward and the second meter.
constexpr Point FORWARD_PIVOT{210, 260};
constexpr Point AUX_PIVOT{590, 260};

// The main screen's needle: angle for a value on a meter of full scale N,
// and the tip it draws from a pivot.
double NeedleAngle(double value, double fullScale);
Point NeedleTip(Point pivot, double angle);

// Meter position of an SWR: piecewise linear through the conversion table
// of the main screen.
double SwrPosition(double swr);

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
