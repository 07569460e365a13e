#include "sim/amplifier/tuner_network.h"

#include <cmath>
#include <vector>

namespace {
// Word bit of each value bit, value bit 0 first.
constexpr int C_BITS[9] = {15, 2, 4, 6, 14, 12, 10, 8, 20};
constexpr int L_BITS[9] = {1, 3, 5, 7, 13, 11, 9, 19, 21};
constexpr uint32_t NET_B_BIT = 1u << 23;
constexpr uint32_t NET_A_BIT = 1u << 18;
constexpr uint32_t BYPASS_BIT = 1u << 16;

int Gather(uint32_t word, const int (&bits)[9]) {
  int value = 0;
  for (int i = 0; i < 9; i++)
    if (word & (1u << bits[i])) value |= 1 << i;
  return value;
}

uint32_t Scatter(int value, const int (&bits)[9]) {
  uint32_t word = 0;
  for (int i = 0; i < 9; i++)
    if (value & (1 << i)) word |= 1u << bits[i];
  return word;
}

double Omega(double freqHz) { return 2 * M_PI * freqHz; }

// |Gamma|^2 of a normalised impedance z = Z / 50.
double ReflectedShare(Impedance z) { return std::norm(z - 1.0) / std::norm(z + 1.0); }
}  // namespace

TunerSetting DecodeTunerWord(uint32_t word) {
  TunerSetting s;
  s.l = Gather(word, L_BITS);
  s.c = Gather(word, C_BITS);
  bool a = word & NET_A_BIT, b = word & NET_B_BIT;
  if (!(word & BYPASS_BIT) && a != b) s.network = a ? TunerNetwork::A : TunerNetwork::B;
  return s;
}

uint32_t EncodeTunerWord(const TunerSetting &setting) {
  uint32_t word = Scatter(setting.l & 511, L_BITS) | Scatter(setting.c & 511, C_BITS);
  switch (setting.network) {
    case TunerNetwork::A:
      return word | NET_A_BIT;
    case TunerNetwork::B:
      return word | NET_B_BIT;
    case TunerNetwork::Bypass:
      return word | BYPASS_BIT;
  }
  return word;
}

const char *TunerNetworkName(TunerNetwork network) {
  switch (network) {
    case TunerNetwork::A:
      return "A";
    case TunerNetwork::B:
      return "B";
    case TunerNetwork::Bypass:
      return "bypass";
  }
  return "bypass";
}

Impedance TunerModel::SeriesInductor(int steps, double omega) const {
  double x = omega * (steps * parts_.lStepHenry + parts_.lResidualHenry);
  return {x / parts_.qInductor, x};
}

Impedance TunerModel::ShuntCapacitorAdmittance(int steps, double omega) const {
  double b = omega * (steps * parts_.cStepFarad + parts_.cStrayFarad);
  return {b / parts_.qCapacitor, b};
}

Impedance TunerModel::InputImpedance(const TunerSetting &s, Impedance load, double freqHz) const {
  double w = Omega(freqHz);
  switch (s.network) {
    case TunerNetwork::A:
      return SeriesInductor(s.l, w) + 1.0 / (ShuntCapacitorAdmittance(s.c, w) + 1.0 / load);
    case TunerNetwork::B:
      return 1.0 / (ShuntCapacitorAdmittance(s.c, w) + 1.0 / (SeriesInductor(s.l, w) + load));
    case TunerNetwork::Bypass:
      break;
  }
  return load;
}

double TunerModel::Efficiency(const TunerSetting &s, Impedance load, double freqHz) const {
  double w = Omega(freqHz);
  if (s.network == TunerNetwork::A) {
    // Unit current in: the shunt branch and the load share the voltage across them.
    Impedance across = 1.0 / (ShuntCapacitorAdmittance(s.c, w) + 1.0 / load);
    double in = InputImpedance(s, load, freqHz).real();
    double out = std::norm(across) * (1.0 / load).real();
    return in > 0 ? out / in : 0;
  }
  if (s.network == TunerNetwork::B) {
    // Unit voltage in: the series branch carries the load current.
    double in = (1.0 / InputImpedance(s, load, freqHz)).real();
    double out = std::norm(1.0 / (SeriesInductor(s.l, w) + load)) * load.real();
    return in > 0 ? out / in : 0;
  }
  return 1;
}

BestTune TunerModel::FindBestTune(Impedance load, double freqHz) const {
  double w = Omega(freqHz);
  // Per-step terms, so that each of the 2 x 512 x 512 candidates is one
  // complex addition and one comparison.
  std::vector<Impedance> seriesZ(TUNER_STEPS), shuntY(TUNER_STEPS), bSeriesY(TUNER_STEPS),
      aShuntZ(TUNER_STEPS);
  for (int i = 0; i < TUNER_STEPS; i++) {
    seriesZ[i] = SeriesInductor(i, w) / LINE_OHMS;
    shuntY[i] = ShuntCapacitorAdmittance(i, w) * LINE_OHMS;
    bSeriesY[i] = LINE_OHMS / (SeriesInductor(i, w) + load);
    aShuntZ[i] = 1.0 / (ShuntCapacitorAdmittance(i, w) + 1.0 / load) / LINE_OHMS;
  }
  BestTune best;
  double bestShare = ReflectedShare(load / LINE_OHMS);  // bypass
  for (int l = 0; l < TUNER_STEPS; l++) {
    for (int c = 0; c < TUNER_STEPS; c++) {
      // Network B in admittance: |Gamma| of y = Y * 50 equals that of 1 / y.
      double shareB = ReflectedShare(shuntY[c] + bSeriesY[l]);
      if (shareB < bestShare) {
        bestShare = shareB;
        best.setting = {l, c, TunerNetwork::B};
      }
      double shareA = ReflectedShare(seriesZ[l] + aShuntZ[c]);
      if (shareA < bestShare) {
        bestShare = shareA;
        best.setting = {l, c, TunerNetwork::A};
      }
    }
  }
  best.swr = SwrFromReflection(std::sqrt(bestShare));
  best.word = EncodeTunerWord(best.setting);
  return best;
}

double ReflectionMagnitude(Impedance z) { return std::sqrt(ReflectedShare(z / LINE_OHMS)); }

double SwrFromReflection(double rho) {
  if (!(rho < 1)) return SWR_LIMIT;
  double swr = (1 + rho) / (1 - rho);
  return swr < SWR_LIMIT ? swr : SWR_LIMIT;
}
