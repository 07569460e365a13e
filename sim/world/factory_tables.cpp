#include "sim/world/factory_tables.h"

#include <cstdio>

#include "core/log.h"
#include "platform/paths.h"
#include "sim/amplifier/amp_model.h"
#include "sim/world/sandbox.h"

namespace {
// One calibration row per band: the couplers' readings at a known power
// (they vary a little with frequency), the protection thresholds, and fast
// auto-tune start points. Each pair matches one typical load on the band's
// centre with the simulated tuner (25 Ω, 100 Ω, 50+j50 Ω, 50−j50 Ω, 200 Ω);
// the refinement step is about a tenth of the band's inductance values.
struct FactoryRow {
  unsigned fStart;
  int fwdCount, reflCount, pwinCount;  // readings at 150 W, 50 W and 20 W
  double kCorr;
  int pairs[5][2];  // inductance, capacitance
  int step;
};

const FactoryRow ROWS[] = {
    {1000000,
     3950,
     3990,
     4010,
     -0.004,
     {{83, 415}, {167, 209}, {166, 419}, {167, 0}, {288, 181}},
     16},
    {3400000, 3965, 3995, 4005, -0.004, {{42, 209}, {84, 105}, {84, 211}, {85, 1}, {146, 91}}, 8},
    {5250000, 3975, 4000, 4000, -0.005, {{29, 146}, {58, 73}, {58, 147}, {59, 0}, {102, 63}}, 6},
    {6900000, 3985, 4000, 4000, -0.005, {{21, 109}, {44, 55}, {44, 110}, {45, 2}, {76, 47}}, 4},
    {10000000, 4000, 4005, 3995, -0.006, {{15, 77}, {31, 38}, {31, 77}, {32, 2}, {53, 33}}, 3},
    {13900000, 4010, 4010, 3990, -0.006, {{10, 54}, {22, 27}, {22, 55}, {23, 2}, {38, 23}}, 2},
    {18000000, 4020, 4015, 3990, -0.007, {{8, 42}, {17, 21}, {17, 43}, {18, 2}, {29, 18}}, 2},
    {20900000, 4025, 4020, 3985, -0.007, {{7, 36}, {14, 17}, {14, 36}, {15, 0}, {25, 15}}, 2},
    {24800000, 4030, 4025, 3985, -0.007, {{6, 30}, {12, 15}, {12, 31}, {13, 1}, {22, 12}}, 1},
    {27900000, 4035, 4030, 3980, -0.008, {{5, 26}, {10, 12}, {10, 26}, {11, 0}, {18, 11}}, 1},
    {49500000, 4050, 4040, 3970, -0.008, {{2, 14}, {5, 6}, {5, 14}, {6, 0}, {10, 5}}, 1},
};
// Closes the range of the 6 m row.
constexpr unsigned LAST_ROW_START = 54500000;

// Protection thresholds of every band: input W, current A, reflected W, forward W.
constexpr double TS_PWIN_W = 15, TS_CURRENT_A = 12, TS_REFL_W = 30, TS_FWD_W = 140;

bool Seed(const std::string &root, const std::string &targetPath, const std::string &text) {
  // The target's path, taken as relative to the sandbox root.
  return SeedFile(root, targetPath.substr(1), text);
}
}  // namespace

std::string FactoryConfigText() {
  std::string text =
      ";fStart fSecond Pfwd Nfwd Prefl Nrefl Pin Nin kCorr | PWIN(W) I(A) REFL(W) FWD(W) | "
      "L C x5 step\n";
  for (const FactoryRow &r : ROWS) {
    text +=
        StrPrintf("%u 0 150 %d 50 %d 20 %d %.3f %.0f %.1f %.0f %.0f", r.fStart, r.fwdCount,
                  r.reflCount, r.pwinCount, r.kCorr, TS_PWIN_W, TS_CURRENT_A, TS_REFL_W, TS_FWD_W);
    for (const auto &p : r.pairs) text += StrPrintf(" %d %d", p[0], p[1]);
    text += StrPrintf(" %d\n", r.step);
  }
  const FactoryRow &last = ROWS[sizeof ROWS / sizeof ROWS[0] - 1];
  text += StrPrintf("%u 0 150 %d 50 %d 20 %d %.3f %.0f %.1f %.0f %.0f 0 0 0 0 0 0 0 0 0 0 1\n",
                    LAST_ROW_START, last.fwdCount, last.reflCount, last.pwinCount, last.kCorr,
                    TS_PWIN_W, TS_CURRENT_A, TS_REFL_W, TS_FWD_W);
  return text;
}

std::string FactoryVentolaText() {
  return ";temperature(C) level(%)\n"
         "25 0\n"
         "38 30\n"
         "45 60\n"
         "52 100\n";
}

// The amplifier's own filter bands; the last is the by-pass to the outer
// connector, 0 to 54 MHz.
std::string FactoryFilterText() {
  std::string text =
      ";Fstart(hz)\tFstop         enabled   : 1= abilitata, l'ordine delle righe corrisponde al "
      "filtro di attivazione   j23 ultimo by pass (0 ,54000000)  verso esterno\n";
  for (const FreqRange &band : AMP_FILTER_BANDS)
    text += StrPrintf("%.0f\t\t%.0f\t\t1 \n", band.lowHz, band.highHz);
  return text;
}

bool SeedFactoryAmplifierTables(const std::string &root) {
  const Paths target;
  return Seed(root, target.configFile, FactoryConfigText()) &&
         Seed(root, target.ventolaFile, FactoryVentolaText()) &&
         Seed(root, target.filterFile, FactoryFilterText());
}
