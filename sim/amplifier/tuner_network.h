#pragma once
// The antenna tuner of the simulated amplifier: the relay word, the L and C
// networks it switches in, and what they make of an antenna load.
//
// Public API (pure functions and values, no I/O):
//   DecodeTunerWord(word) / EncodeTunerWord(setting)  relay word <-> L, C, network
//   TunerModel::InputImpedance(setting, load, f)       what the transmitter sees
//   TunerModel::Efficiency(setting, load, f)            share of power reaching the load
//   TunerModel::FindBestTune(load, f)                   lowest SWR any word can reach
//   ReflectionMagnitude(z), SwrFromReflection(rho)      against the 50 ohm line
#include <complex>
#include <cstdint>

using Impedance = std::complex<double>;

constexpr double LINE_OHMS = 50.0;
constexpr int TUNER_STEPS = 512;  // L and C are 9-bit relay values
constexpr double SWR_LIMIT = 100.0;

enum class TunerNetwork {
  Bypass,  // the tuner relays route the line straight to the antenna
  A,       // series L from the transmitter, C across the antenna side
  B,       // C across the transmitter side, series L to the antenna
};

struct TunerSetting {
  int l = 0;  // inductance steps 0..511
  int c = 0;  // capacitance steps 0..511
  TunerNetwork network = TunerNetwork::Bypass;
};

inline bool operator==(const TunerSetting &a, const TunerSetting &b) {
  return a.l == b.l && a.c == b.c && a.network == b.network;
}

// The relays of the word. Bit 23 selects network B, bit 18 network A, bit 16
// bypasses the tuner; with the bypass relay, with none or with both network
// relays the line goes straight through.
TunerSetting DecodeTunerWord(uint32_t word);
uint32_t EncodeTunerWord(const TunerSetting &setting);
const char *TunerNetworkName(TunerNetwork network);  // "A", "B", "bypass"

// Component values of the relay banks: binary-weighted steps plus the
// wiring's residual inductance and stray capacitance, and their losses.
struct TunerComponents {
  double lStepHenry = 0.025e-6;
  double cStepFarad = 4e-12;
  double lResidualHenry = 0.02e-6;
  double cStrayFarad = 6e-12;
  double qInductor = 150;
  double qCapacitor = 1000;
};

struct BestTune {
  double swr = SWR_LIMIT;
  TunerSetting setting;
  uint32_t word = 0;
};

class TunerModel {
 public:
  explicit TunerModel(const TunerComponents &parts = {}) : parts_(parts) {}

  Impedance InputImpedance(const TunerSetting &setting, Impedance load, double freqHz) const;
  // Share (0..1) of the power entering the tuner that reaches the load.
  double Efficiency(const TunerSetting &setting, Impedance load, double freqHz) const;
  // Exhaustive search over both networks and every L and C (and bypass).
  BestTune FindBestTune(Impedance load, double freqHz) const;

  const TunerComponents &Parts() const { return parts_; }

 private:
  Impedance SeriesInductor(int steps, double omega) const;
  Impedance ShuntCapacitorAdmittance(int steps, double omega) const;
  TunerComponents parts_;
};

// |Gamma| of an impedance on the 50 ohm line.
double ReflectionMagnitude(Impedance z);
// (1 + rho) / (1 - rho), limited to SWR_LIMIT.
double SwrFromReflection(double rho);
