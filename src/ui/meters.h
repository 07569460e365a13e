#pragma once
// The two analogue meters of main windows 1 to 3: needle geometry, the SWR
// scale, the held peaks and the meters' texts.
struct Works;

// Needle pivots of the forward and the second meter.
constexpr int FWD_PIVOT_X = 210, AUX_PIVOT_X = 590, PIVOT_Y = 260;

struct SwrPoint {
  float swr, position;
};
constexpr int CONV_SWR_POINTS = 12;
extern const SwrPoint CONV_SWR[CONV_SWR_POINTS];

// Meter position (0 … 60) of an SWR, piecewise linear through CONV_SWR.
double SwrMeterPosition(double swr);
float CalcolaSWR(float swr);

// Needle angle (radians) for a value on a meter of full scale N, and the
// unrounded tip from a pivot; the screen truncates the tip to whole pixels.
double NeedleAngle(double value, double fullScale);
struct NeedlePoint {
  double x, y;
};
NeedlePoint NeedleTip(double pivotX, double pivotY, double angle);

// Peak updates of the forward and the second meter with this cycle's value.
void CalcolaPwrPeak(Works *works, float value);
void CalcolaPwrPeak2(Works *works, float value);
// End of a timer cycle: both holds count down by the cycle's milliseconds and
// the held peaks decay.
void DecayPeaks(Works *works, int elapsedMs);

// The needles (value red, peak black) of both meters for the present mode.
void DrawMeters(Works *works);
// "FORWARD" and the second meter's caption with their values.
void DrawMeterTexts(Works *works);
// A power as the meters write it: watts, or dBm with PowerUnits 1.
void FormatPower(Works *works, float watts, char *out, int size);
