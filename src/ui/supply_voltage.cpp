#include "ui/supply_voltage.h"

#include "core/works.h"

namespace {
constexpr int PANEL_SUPPLY_AMP = 3;
constexpr float DIVIDER_HIGH_POWER = 348, DIVIDER = 118;
}  // namespace

float CalvTensVadcAmp(Works *works) {
  float reading = works->input.panelReply[PANEL_SUPPLY_AMP] & 0xFF;
  float k = works->link.ampConfig[1] == '1' ? DIVIDER_HIGH_POWER : DIVIDER;
  return reading * 3.3f * k / 255 / 18;
}
