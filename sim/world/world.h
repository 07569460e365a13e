#pragma once
// The physical world around the unit: the RF source that drives the
// amplifier's input and the loads on its three antenna outputs.
#include <mutex>
#include <string>

struct RfSource {
  bool on = false;
  double freqHz = 14070000;
  double driveW = 0;  // power into the amplifier's input
};

// R + jX in ohms at `refFreqHz`; the reactance can follow frequency as an
// inductive (X ∝ f) or capacitive (X ∝ 1/f) part when `scaleWithFreq` is set.
struct AntennaLoad {
  double r = 50;
  double x = 0;
  bool scaleWithFreq = false;
  double refFreqHz = 0;
  // Impedance at frequency f.
  double RAt(double) const { return r; }
  double XAt(double f) const;
};

class World {
 public:
  RfSource Rf() const;
  void SetRf(const RfSource &rf);
  AntennaLoad Load(int antenna) const;  // antenna 0..2
  void SetLoad(int antenna, const AntennaLoad &load);
  // The amplifier's power class (60 or 120 W): its supply and the divider
  // the front panel measures it through differ.
  int AmpPowerClass() const;
  void SetAmpPowerClass(int watts);

 private:
  mutable std::mutex mutex_;
  RfSource rf_;
  AntennaLoad loads_[3];
  int ampPowerClass_ = 60;
};

// What every simulated device is given.
struct SimContext {
  std::string root;  // sandbox root
  World *world = nullptr;
  bool pacing = true;  // bytes paced as on the real lines
  std::string only;    // the one device run alone (--only), else empty
  bool headless = false;
  // The run's time 0, seconds of the monotonic clock: the scenario's events
  // and every device's report times count from it. < 0: each device counts
  // from its own start (devices made alone, in tests).
  double epoch = -1;
};

// A device's time 0 (seconds of the monotonic clock): the run's, or its
// own start `deviceStart`.
inline double DeviceEpoch(const SimContext &context, double deviceStart) {
  return context.epoch >= 0 ? context.epoch : deviceStart;
}
