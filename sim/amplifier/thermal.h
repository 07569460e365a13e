#pragma once
// Heat in the amplifier: the transistors' dissipation warms the PA board
// (sensor 1), which sits on the heat sink (sensor 2); the heat sink loses
// heat to the air, much faster with the fan running. Each sensor is an NTC
// thermistor (10 kOhm at 25 degrees) below a 10 kOhm resistor into the
// 12-bit converter.
#include <optional>

// Thermistor resistance in kOhm at a temperature (Steinhart-Hart fit of the
// part's datasheet curve, within 0.1 degree from -20 to 120).
double ThermistorKiloOhms(double celsius);
// Converter count of the divider: 4095 * R / (R + 10 kOhm).
int ThermistorCount(double celsius);

struct ThermalParts {
  double boardJoulePerK = 60;
  double sinkJoulePerK = 400;
  double boardToSinkWattPerK = 3;
  double boardToAirWattPerK = 0.1;
  double sinkToAirStillWattPerK = 0.6;  // fan off
  double sinkToAirFanWattPerK = 4.4;    // added at full fan
};

class ThermalModel {
 public:
  explicit ThermalModel(double ambient = 25, const ThermalParts &parts = {});

  // Integrates `seconds` of `dissipationW` in the transistors with the fan at
  // `fanPercent` (0..100).
  void Advance(double seconds, double dissipationW, double fanPercent);

  double Temperature(int sensor) const;  // sensor 1 (board) or 2 (heat sink)
  // Holds a sensor at a temperature (nullopt releases it, the model goes on
  // from the held value).
  void Force(int sensor, std::optional<double> celsius);
  void SetAmbient(double celsius) { ambient_ = celsius; }
  double Ambient() const { return ambient_; }

 private:
  void Step(double seconds, double dissipationW, double fanPercent);
  ThermalParts parts_;
  double ambient_;
  double temp_[2];
  std::optional<double> forced_[2];
};
