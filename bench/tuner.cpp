// Tunes each load of the set with each search procedure against the
// simulated amplifier and reports, per load: steps, seconds at the real link
// rate, the final SWR and the best SWR any tuner word reaches.
//
// Seconds at the link rate, at 115200 baud and 10 bits a character, each
// frame two CRC digits plus its text, and the link's pauses after decoding
// (10 ms after "ST", 20 ms after any other reply):
//   step  = one status exchange ("4dST;" 5 + reply 2 + 37) and one word
//           exchange ("MT1%08X;" 2 + 12, its echo 2 + 12):
//           72 × 10 / 115200 s + 10 ms + 20 ms = 36.25 ms
//   clear = after a step that tripped the high-SWR protection, one status
//           exchange and "CPFFFF;" (2 + 7, echo 2 + 7):
//           62 × 10 / 115200 s + 10 ms + 20 ms = 35.38 ms
//   t = steps × step + clears × clear + the procedure's one pause (3 ms
//       complete, 5 ms fast, 10 ms fine). The amplifier's own answer time
//       is not included.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/setup_record.h"
#include "sim/world/sandbox.h"
#include "tests/tuner/sim_amplifier.h"
#include "tests/tuner/tune_loads.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/tune_control.h"

namespace {
constexpr double CHAR_S = 10 / 115200.0;
constexpr double PAUSE_AFTER_ST = 0.010, PAUSE_AFTER_REPLY = 0.020;
constexpr int STATUS_CHARS = 5 + 2 + 37, WORD_CHARS = 2 * (2 + 12), CLEAR_CHARS = 2 * (2 + 7);
constexpr double STEP_S = (STATUS_CHARS + WORD_CHARS) * CHAR_S + PAUSE_AFTER_ST + PAUSE_AFTER_REPLY;
constexpr double CLEAR_S =
    (STATUS_CHARS + CLEAR_CHARS) * CHAR_S + PAUSE_AFTER_ST + PAUSE_AFTER_REPLY;

struct Procedure {
  const char *name;
  char tipo;
  bool fine;
  double pause;  // s, once per tune
};
const Procedure COMPLETE{"complete", '0', false, 0.003}, FAST{"fast", '1', false, 0.005},
    FINE{"fine", '0', true, 0.010};

struct Result {
  int steps, clears;
  double seconds, swr;
};

struct Unit {
  std::unique_ptr<Works> works = std::make_unique<Works>();
  SetupRecord setup{};
  explicit Unit(const TuneLoad &load) {
    works->cfg.setup = &setup;
    initSetup(works.get());
    works->core.tavoTx = 1;  // the tuning carrier is on
    works->link.currentFreq = uint32_t(load.freq);
    works->tuner.tuneVal = TUNE_BIT_B;
    ReadTnePar(works.get());
    Clr_vTuneParam(works.get());
  }
};

Result Run(Unit &unit, SimulatedAmplifier &amp, const Procedure &p) {
  Works *works = unit.works.get();
  works->cfg.setup->AutoTuneTipo = p.tipo;
  works->tuner.fineTune = p.fine ? 1 : 0;
  StartAutotune(works);
  LinkStandIn link(works);
  amp.Attach(link);
  int steps = link.RunTune(amp.Model());
  return {steps, link.Clears(), steps * STEP_S + link.Clears() * CLEAR_S + p.pause,
          amp.Swr(works->tuner.tuneVal)};
}

// A fresh unit for each procedure; the fine search refines what the fast
// search found, as the fine-tune key does after a tune.
Result Tune(const TuneLoad &load, const Procedure &p) {
  Unit unit(load);
  SimulatedAmplifier amp(load);
  if (p.fine) Run(unit, amp, FAST);
  return Run(unit, amp, p);
}
}  // namespace

int main() {
  char dir[] = "/tmp/kestra-bench-XXXXXX";
  std::string root = mkdtemp(dir) ? dir : "";
  std::string error;
  if (root.empty() || !CreateSandbox(root, error)) {
    fprintf(stderr, "bench_tuner: no sandbox %s\n", error.c_str());
    return 1;
  }
  SetPaths(PathsUnder(root));
  LogCapture quiet;  // the searches' diagnostic lines
  printf("step %.2f ms, clear %.2f ms; carrier %.0f W into the 60 W class\n", STEP_S * 1000,
         CLEAR_S * 1000, SimulatedAmplifier::CARRIER_W);
  printf("| load | best | procedure | steps (clears) | seconds | final SWR |\n");
  printf("|---|---|---|---|---|---|\n");
  for (const TuneLoad &load : TUNE_LOADS) {
    double best = SimulatedAmplifier(load).BestSwr();
    for (const Procedure &p : {COMPLETE, FAST, FINE}) {
      Result r = Tune(load, p);
      printf("| %.2f MHz %g%+gj Ω | %.2f | %s | %d (%d) | %.1f | %.2f |\n", load.freq / 1e6, load.r,
             load.x, best, p.name, r.steps, r.clears, r.seconds, r.swr);
    }
  }
  return 0;
}
