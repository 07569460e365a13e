#include "ui/meters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/works.h"
#include "display/frame_buffer.h"
#include "ui/conversions.h"
#include "ui/ui_text.h"

const SwrPoint CONV_SWR[CONV_SWR_POINTS] = {{1.0f, 0},  {1.5f, 11}, {2.0f, 20},  {3.0f, 30},
                                            {4.0f, 36}, {5.0f, 40}, {6.0f, 43},  {7.0f, 45},
                                            {8.0f, 47}, {9.0f, 48}, {10.0f, 50}, {100.0f, 60}};

namespace {
// The needle's own constants (not π and π/2).
constexpr double NEEDLE_PI = 3.141692653, NEEDLE_QUARTER = 1.5708463265;
constexpr double NEEDLE_LENGTH = 200, NEEDLE_OFFSET = 15;
constexpr float STANDARD_CLAMP_W = 60, HIGH_POWER_CLAMP_W = 120, SWR_CLAMP = 100;
constexpr int MODE_REFLECTED = 1, MODE_SWR = 2, MODE_INPUT = 3;
constexpr int LABEL_Y = 160, VALUE_Y = 180, TEXT_SLOT = 8;

// Full scale from a setting; a scale below 1 would divide by zero.
double Scale(int32_t steps) { return steps < 1 ? 1 : steps; }

float Clamp(float value, float high) {
  return std::isnan(value) ? 0 : std::clamp(value, 0.f, high);
}

void DrawNeedle(FrameBuffer *fb, int pivotX, float angle, Colour c) {
  NeedlePoint tip = NeedleTip(pivotX, PIVOT_Y, angle);
  int x = int(std::trunc(tip.x)), y = int(std::trunc(tip.y));
  for (int d = -1; d <= 1; d++) DrawLine(pivotX + d, PIVOT_Y, x, y, c.r, c.g, c.b, fb, 0);
}

// Peak step 1 and 2: a higher value is held, else once the hold has run out
// the peak follows the value as a running average.
void UpdatePeak(std::atomic<float> &peak, std::atomic<int32_t> &hold, float value) {
  if (value > peak) {
    peak = value;
    hold = TimerPeakSec.load();
  } else if (hold <= 0) {
    float weight = float(std::max(0, fattoremedia.load()));  // a negative weight could divide by 0
    peak = (weight * peak + value) / (weight + 1);
  }
}

void DecayPeak(std::atomic<float> &peak, std::atomic<int32_t> &hold, std::atomic<int32_t> &count,
               int elapsedMs) {
  if (hold <= 0) return;
  hold -= elapsedMs;
  if (count < PeakDecrementTime) {
    count++;
  } else {
    peak = std::max(0.f, peak - float(PeakDecrement.load()));
    count = 0;
  }
}

// The second meter's needle value in its own units and its full scale.
struct AuxMeter {
  float value;
  double fullScale;
};

int AuxMode(Works *works) {
  int mode = works->ui.mainWindow;
  return mode == MODE_SWR || mode == MODE_INPUT ? mode : MODE_REFLECTED;
}

AuxMeter AuxValue(Works *works) {
  LinkState &l = works->link;
  switch (AuxMode(works)) {
    case MODE_SWR:
      return {CalcolaSWR(Clamp(l.swr, SWR_CLAMP)), Scale(number_ofStep_meter_SWR)};
    case MODE_INPUT:
      return {Clamp(l.pwrIn, STANDARD_CLAMP_W), Scale(number_ofStep_meter_PW)};
    default:
      return {Clamp(l.pwrRefl, STANDARD_CLAMP_W), Scale(number_ofStep_meter_REFL)};
  }
}

void DrawForwardMeter(Works *works) {
  UiState &ui = works->ui;
  FrameBuffer *fb = works->display.fb;
  float clamp = HighPowerVariant(works->link) ? HIGH_POWER_CLAMP_W : STANDARD_CLAMP_W;
  double fullScale = Scale(number_ofStep_meter_FWD);
  ui.fwdAngle = float(NeedleAngle(Clamp(works->link.pwrFwd, clamp), fullScale));
  DrawNeedle(fb, FWD_PIVOT_X, ui.fwdAngle, {255, 0, 0});
  if (works->cfg.EnablePwrPeak != 1) return;
  if (ui.fwdPeakFed) CalcolaPwrPeak(works, works->link.pwrInPeak);
  ui.fwdPeakFed = 1;
  ui.fwdPeakAngle = float(NeedleAngle(Clamp(ui.fwdPeak, clamp), fullScale));
  DrawNeedle(fb, FWD_PIVOT_X, ui.fwdPeakAngle, BLACK);
}

void DrawAuxMeter(Works *works) {
  UiState &ui = works->ui;
  FrameBuffer *fb = works->display.fb;
  AuxMeter m = AuxValue(works);
  ui.auxAngle = float(NeedleAngle(m.value, m.fullScale));
  DrawNeedle(fb, AUX_PIVOT_X, ui.auxAngle, {255, 0, 0});
  if (works->cfg.EnablePwrPeak != 1) return;
  if (ui.auxPeakRestart.exchange(0))
    ui.auxPeak = m.value;
  else
    CalcolaPwrPeak2(works, m.value);
  ui.auxPeakAngle = float(NeedleAngle(ui.auxPeak, m.fullScale));
  DrawNeedle(fb, AUX_PIVOT_X, ui.auxPeakAngle, BLACK);
}
}  // namespace

double SwrMeterPosition(double swr) {
  const SwrPoint *previous = nullptr;
  for (const SwrPoint &p : CONV_SWR) {
    if (p.swr > swr) {
      if (!previous) return 0;
      return previous->position +
             (p.position - previous->position) * (swr - previous->swr) / (p.swr - previous->swr);
    }
    previous = &p;
  }
  return CONV_SWR[CONV_SWR_POINTS - 1].position;
}

float CalcolaSWR(float swr) { return float(SwrMeterPosition(swr)); }

double NeedleAngle(double value, double fullScale) {
  return (0.24 - value * 0.48 / fullScale) * NEEDLE_PI;
}

NeedlePoint NeedleTip(double pivotX, double pivotY, double angle) {
  return {
      pivotX - NEEDLE_LENGTH * std::sin(angle) + NEEDLE_OFFSET * std::cos(angle + NEEDLE_QUARTER),
      pivotY - NEEDLE_LENGTH * std::cos(angle) + NEEDLE_OFFSET * std::sin(angle + NEEDLE_QUARTER)};
}

void CalcolaPwrPeak(Works *works, float value) {
  UpdatePeak(works->ui.fwdPeak, works->ui.fwdPeakHold, value);
}

void CalcolaPwrPeak2(Works *works, float value) {
  UpdatePeak(works->ui.auxPeak, works->ui.auxPeakHold, value);
}

void DecayPeaks(Works *works, int elapsedMs) {
  UiState &ui = works->ui;
  DecayPeak(ui.fwdPeak, ui.fwdPeakHold, ui.fwdPeakCount, elapsedMs);
  DecayPeak(ui.auxPeak, ui.auxPeakHold, ui.auxPeakCount, elapsedMs);
}

void DrawMeters(Works *works) {
  if (!works->display.fb) return;
  DrawForwardMeter(works);
  DrawAuxMeter(works);
}

void FormatPower(Works *works, float watts, char *out, int size) {
  if (works->cfg.PowerUnits != 1) {
    snprintf(out, size, "%02.01fW", double(watts));
    return;
  }
  float dBm = ConvertW_to_dBm(watts);
  if (dBm < 0 || std::isnan(dBm))
    snprintf(out, size, "---dBm");
  else
    snprintf(out, size, "%02.01fdBm", double(dBm));
}

void DrawMeterTexts(Works *works) {
  LinkState &l = works->link;
  char power[32];
  FormatPower(works, l.pwrFwd, power, sizeof power);
  DrawText(works, TEXT_SLOT, 155, LABEL_Y, BLACK, "FORWARD");
  DrawText(works, TEXT_SLOT, 180, VALUE_Y, BLACK, "%s", power);
  switch (AuxMode(works)) {
    case MODE_SWR:
      DrawText(works, TEXT_SLOT, 570, LABEL_Y, BLACK, "SWR");
      DrawText(works, TEXT_SLOT, 580, VALUE_Y, BLACK, "%02.01f", double(l.swr));
      break;
    case MODE_INPUT:
      FormatPower(works, l.pwrIn, power, sizeof power);
      DrawText(works, TEXT_SLOT, 560, LABEL_Y, BLACK, "PRWIN");
      DrawText(works, TEXT_SLOT, 570, VALUE_Y, BLACK, "%s", power);
      break;
    default:
      FormatPower(works, l.pwrRefl, power, sizeof power);
      DrawText(works, TEXT_SLOT, 535, LABEL_Y, BLACK, "REFLECTED");
      DrawText(works, TEXT_SLOT, 565, VALUE_Y, BLACK, "%s", power);
      break;
  }
}
