#pragma once
// The tuner searches against the simulated amplifier's physics: each word
// the link sends sets the model's tuner, a step's time passes (protections
// may trip), and the "ST" reading is decoded into SWR and forward power with
// the controller's formulas and default meter coefficients.
#include <algorithm>
#include <cmath>

#include "sim/amplifier/amp_model.h"
#include "tests/tuner/tune_loads.h"
#include "tests/tuner/tuner_harness.h"

class SimulatedAmplifier {
 public:
  static constexpr double CARRIER_W = 10;  // the transceiver's tuning carrier
  static constexpr double STEP_S = 0.036;  // one status poll and one word exchange

  explicit SimulatedAmplifier(const TuneLoad &load) {
    model_.SetRf({true, load.freq, CARRIER_W});
    model_.SetLoad(0, {load.r, load.x});
    AmpControls &c = model_.Controls();
    c.bypass = false;          // "AB0;": the band's row has the amplifier in line
    c.protectionMode = false;  // "MP0;" closes the tune's start commands
    for (int i = 0; i < 7; i++)
      if (AMP_FILTER_BANDS[i].lowHz <= load.freq && load.freq <= AMP_FILTER_BANDS[i].highHz) {
        c.filterMask = uint8_t(1 << i);
        break;
      }
    model_.ClearRestartFlag();
  }

  LoadModel Model() {
    return [this](uint32_t word) { return Measure(word); };
  }
  // Wires the link stand-in's "CPFFFF;" to the amplifier.
  void Attach(LinkStandIn &link) {
    link.clearProtections = [this] { model_.ClearProtections(); };
  }
  double Swr(uint32_t word) const { return model_.Swr(word); }
  double BestSwr() const { return model_.FindBestTune().swr; }

 private:
  Reading Measure(uint32_t word) {
    model_.Controls().tuneWord = word;
    model_.Advance(STEP_S);
    AmpReadings r = model_.Readings();
    const MeterCoefficients k = DEFAULT_METER_COEFFICIENTS;
    double fwd = k.kFwd * r.countForward * r.countForward;
    double refl = std::max(0.0, k.kRefl * r.countReflected * r.countReflected + k.kCorr * fwd);
    double swr = 0;
    if (fwd > 0.3) {
      double rho = fwd < refl ? 1 : std::sqrt(refl / fwd);
      swr = rho >= 1 ? 100 : (1 + rho) / (1 - rho);
    } else if (refl > 0.5) {
      swr = 100;
    }
    return {float(std::min(swr, 100.0)), float(fwd), r.statusB};
  }

  AmpModel model_{60};
};
