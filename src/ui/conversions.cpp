#include "ui/conversions.h"

#include <cmath>
#include <ctime>

#include "core/clock.h"
#include "core/works.h"

namespace {
constexpr float CURRENT_FULL_SCALE_A = 14.05f;
}

float ConversionCelsius_to_Fahrenheit(float c) { return c * 9 / 5 + 32; }

float ConvertW_to_dBm(float watts) { return 10 * std::log10(watts * 1000); }

float PaCurrentAmps(float reading) { return reading / 4096 * CURRENT_FULL_SCALE_A; }

void ReadDataOra(Works *works) {
  UiState &ui = works->ui;
  time_t now = WallSeconds();
  if (now == ui.dateTimeSecond) return;
  ui.dateTimeSecond = now;
  struct tm local {};
  localtime_r(&now, &local);
  strftime(ui.dateTime, sizeof ui.dateTime, "%Y-%m-%d %H:%M:%S", &local);
}
