#include "sim/amplifier/thermal.h"

#include <algorithm>
#include <cmath>

namespace {
// 1/T = A + B ln R + C (ln R)^3, R in ohms, T in kelvin.
constexpr double SH_A = 1.0847684e-3;
constexpr double SH_B = 2.4079953e-4;
constexpr double SH_C = 6.5146132e-8;
constexpr double KELVIN = 273.15;
constexpr double DIVIDER_KOHM = 10;
constexpr double MAX_STEP_SECONDS = 0.5;  // well below the board's time constant

int SensorIndex(int sensor) { return sensor == 2 ? 1 : 0; }
}  // namespace

double ThermistorKiloOhms(double celsius) {
  // Solve C x^3 + B x + (A - 1/T) = 0 for x = ln R (one real root).
  double p = SH_B / SH_C;
  double q = (SH_A - 1 / (celsius + KELVIN)) / SH_C;
  double d = std::sqrt(q * q / 4 + p * p * p / 27);
  double x = std::cbrt(-q / 2 + d) + std::cbrt(-q / 2 - d);
  return std::exp(x) / 1000;
}

int ThermistorCount(double celsius) {
  double r = ThermistorKiloOhms(celsius);
  return static_cast<int>(std::lround(4095 * r / (r + DIVIDER_KOHM)));
}

ThermalModel::ThermalModel(double ambient, const ThermalParts &parts)
    : parts_(parts), ambient_(ambient), temp_{ambient, ambient} {}

void ThermalModel::Advance(double seconds, double dissipationW, double fanPercent) {
  while (seconds > 0) {
    double dt = std::min(seconds, MAX_STEP_SECONDS);
    Step(dt, dissipationW, fanPercent);
    seconds -= dt;
  }
}

void ThermalModel::Step(double dt, double dissipationW, double fanPercent) {
  double fan = std::clamp(fanPercent, 0.0, 100.0) / 100;
  double &board = temp_[0], &sink = temp_[1];
  double toSink = (board - sink) * parts_.boardToSinkWattPerK;
  double boardOut = toSink + (board - ambient_) * parts_.boardToAirWattPerK;
  double sinkOut =
      (sink - ambient_) * (parts_.sinkToAirStillWattPerK + fan * parts_.sinkToAirFanWattPerK);
  board += dt * (dissipationW - boardOut) / parts_.boardJoulePerK;
  sink += dt * (toSink - sinkOut) / parts_.sinkJoulePerK;
  for (int i = 0; i < 2; i++)
    if (forced_[i]) temp_[i] = *forced_[i];
}

double ThermalModel::Temperature(int sensor) const { return temp_[SensorIndex(sensor)]; }

void ThermalModel::Force(int sensor, std::optional<double> celsius) {
  int i = SensorIndex(sensor);
  forced_[i] = celsius;
  if (celsius) temp_[i] = *celsius;
}
