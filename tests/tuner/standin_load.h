#pragma once
// Stand-in for the simulated amplifier's tuner physics: an L network of the
// word's L and C in front of a load R + jX.
#include <cmath>
#include <complex>

#include "tests/tuner/tuner_harness.h"

namespace standin {
constexpr double L_STEP = 0.02e-6;  // H per unit of L
constexpr double C_STEP = 8e-12;    // F per unit of C

inline double Swr(double freq, double r, double x, uint32_t word) {
  using Z = std::complex<double>;
  const double w = 2 * M_PI * freq;
  Z load(r, x);
  Z zl(0, w * L_STEP * DecodeInduttanzaFromTuneval(word));
  int c = DecodeCapacitaFromTuneval(word);
  auto shunt = [&](Z z) { return c == 0 ? z : z / (1.0 + z * Z(0, w * C_STEP * c)); };
  Z in = load;
  int mode = DecodeModoFromTuneval(word);
  if (mode == TUNE_MODE_B) in = shunt(load + zl);
  if (mode == TUNE_MODE_A) in = zl + shunt(load);
  double g = std::abs((in - 50.0) / (in + 50.0));
  return g >= 0.98 ? 100.0 : (1 + g) / (1 - g);
}

inline LoadModel Load(double freq, double r, double x) {
  return [=](uint32_t word) { return Reading{float(Swr(freq, r, x, word)), 100.0f}; };
}

inline double BestSwr(double freq, double r, double x) {
  double best = 100;
  for (uint32_t m : {TUNE_BIT_B, TUNE_BIT_A})
    for (int l = 0; l < 512; l++)
      for (int c = 0; c < 512; c++) {
        Works *none = nullptr;
        (void)none;
        uint32_t w = m;
        // Pack without a record: the same bit layout as SetC/SetI.
        static const int CB[9] = {15, 2, 4, 6, 14, 12, 10, 8, 20};
        static const int LB[9] = {1, 3, 5, 7, 13, 11, 9, 19, 21};
        for (int i = 0; i < 9; i++) {
          if (c & (1 << i)) w |= 1u << CB[i];
          if (l & (1 << i)) w |= 1u << LB[i];
        }
        best = std::min(best, Swr(freq, r, x, w));
      }
  return best;
}
}  // namespace standin
