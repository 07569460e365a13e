// Tunes each load of the set with each search procedure against the tuner
// model and reports, per load: steps, seconds at the real link rate, the
// final SWR and the best SWR the tuner can reach.
//
// Seconds at the link rate: every step is one status poll exchange and one
// tuner-word exchange at 115200 baud (10 bits a character), each frame two
// CRC digits plus its text, followed by the link's pauses after decoding
// (10 ms after "ST", 20 ms after any other reply):
//   t = steps × ((5 + 39 + 14 + 14) × 10 / 115200 s + 10 ms + 20 ms) + pause
// with "4dST;" 5, the "ST" reply 2 + 37, "MT1%08X;" 2 + 12 and its reply
// 2 + 12 characters, and the procedure's one-off pause (3 ms complete, 10 ms
// fine, 5 ms fast). The amplifier's own answer time is not included.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/setup_record.h"
#include "sim/world/sandbox.h"
#include "tests/tuner/standin_load.h"
#include "tests/tuner/tune_loads.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/tune_control.h"

namespace {
constexpr double BAUD = 115200;
constexpr double BITS_PER_CHAR = 10;
constexpr int POLL_CHARS = 2 + 3, ST_REPLY_CHARS = 2 + 37, MT_CHARS = 2 + 12,
              MT_REPLY_CHARS = 2 + 12;
constexpr double PAUSE_AFTER_ST = 0.010, PAUSE_AFTER_REPLY = 0.020;

double SecondsPerStep() {
  int chars = POLL_CHARS + ST_REPLY_CHARS + MT_CHARS + MT_REPLY_CHARS;
  return chars * BITS_PER_CHAR / BAUD + PAUSE_AFTER_ST + PAUSE_AFTER_REPLY;
}

struct Procedure {
  const char *name;
  char tipo;
  bool fine;
  double pause;  // s, once per tune
};
const Procedure PROCEDURES[] = {
    {"complete", '0', false, 0.003}, {"fast", '1', false, 0.005}, {"fine", '0', true, 0.010}};

struct Result {
  int steps;
  double swr;
};

struct Unit {
  std::unique_ptr<Works> works = std::make_unique<Works>();
  SetupRecord setup{};
  Unit(const TuneLoad &load) {
    works->cfg.setup = &setup;
    initSetup(works.get());
    works->core.tavoTx = 1;  // the tuning carrier is on
    works->link.currentFreq = uint32_t(load.freq);
    works->tuner.tuneVal = TUNE_BIT_B;
    ReadTnePar(works.get());
  }
};

// One tune from the unit's present setting; the steps it took.
int Run(Unit &unit, const LoadModel &model, const Procedure &p) {
  Works *works = unit.works.get();
  works->cfg.setup->AutoTuneTipo = p.tipo;
  works->tuner.fineTune = p.fine ? 1 : 0;
  StartAutotune(works);
  LinkStandIn link(works);
  return link.RunTune(model);
}

// The fine search refines what the fast search found, as the fine-tune key
// does after a tune.
Result Tune(const TuneLoad &load, const Procedure &p) {
  Unit unit(load);
  LoadModel model = standin::Load(load.freq, load.r, load.x);
  Clr_vTuneParam(unit.works.get());
  if (p.fine) Run(unit, model, PROCEDURES[1]);
  int steps = Run(unit, model, p);
  return {steps, standin::Swr(load.freq, load.r, load.x, unit.works->tuner.tuneVal)};
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
  printf("seconds per step: %.4f\n", SecondsPerStep());
  printf("| load | best | procedure | steps | seconds | final SWR |\n|---|---|---|---|---|---|\n");
  for (const TuneLoad &load : TUNE_LOADS) {
    double best = standin::BestSwr(load.freq, load.r, load.x);
    for (const Procedure &p : PROCEDURES) {
      Result r = Tune(load, p);
      printf("| %.2f MHz %g%+gj Ω | %.2f | %s | %d | %.1f | %.2f |\n", load.freq / 1e6, load.r,
             load.x, best, p.name, r.steps, r.steps * SecondsPerStep() + p.pause, r.swr);
    }
  }
  return 0;
}
