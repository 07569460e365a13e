#include "ui/supply_voltage.h"

#include "core/works.h"

namespace {
constexpr int PANEL_SUPPLY_AMP = 3;
constexpr float DIVIDER_HIGH_POWER = 348, DIVIDER = 118;
}  // namespace

float SupplyCountVolts(Works *works, uint8_t count) {
  float k = HighPowerVariant(works->link) ? DIVIDER_HIGH_POWER : DIVIDER;
  return float(count) * 3.3f * k / 255 / 18;
}

float CalvTensVadcAmp(Works *works) {
  return SupplyCountVolts(works, works->input.panelReply[PANEL_SUPPLY_AMP]);
}
