// Fine search: C up and down, then L up and down, 20 steps each from the
// present setting, going on from the setting that leads after each sweep and
// putting the best back at the end.
#include "core/clock.h"
#include "core/works.h"
#include "tuner/auto_tune.h"
#include "tuner/search.h"
#include "tuner/tune_word.h"

namespace {
constexpr int SWEEP_STEPS = 20;

// One step of a sweep by `delta`; true when the sweep has measured its
// starting point and the 20 values beyond it. A sweep stops at the ends of
// what the word holds.
bool Sweep(Works *works, Knob knob, int delta, int &remaining) {
  TuneStepComplete(works);
  int v = KnobValue(works, knob) + delta;
  if (v < 0 || v > TUNE_LC_MAX) {
    remaining = 0;
  } else {
    WriteKnob(works, knob, v);
  }
  remaining--;
  return remaining < 0;
}

// After a sweep the search goes on from the setting that leads; after the
// last one the best is put back.
void ReturnAfterSweep(Works *works, Knob knob, bool last = false) {
  if (last)
    TuneEnd(works);
  else
    ReturnToSteering(works);
  WriteKnob(works, knob, KnobValue(works, knob));
}
}  // namespace

void StepFineSearch(Works *works) {
  TunerState &t = works->tuner;
  switch (t.statoTune) {
    case 200:
      SetSearchState(works, 201);
      Clr_vTuneParam_fast(works);
      t.cntFineC = t.cntFineL = SWEEP_STEPS;
      WriteKnob(works, Knob::C, KnobValue(works, Knob::C));
      WriteKnob(works, Knob::L, KnobValue(works, Knob::L));
      break;
    case 201:
      SetSearchState(works, 202);
      SleepMillis(10);
      cnttune = 0;
      break;
    case 202:
      if (!Sweep(works, Knob::C, +1, t.cntFineC)) break;
      t.cntFineC = SWEEP_STEPS;
      ReturnAfterSweep(works, Knob::C);
      SetSearchState(works, 203);
      break;
    case 203:
      if (!Sweep(works, Knob::C, -1, t.cntFineC)) break;
      ReturnAfterSweep(works, Knob::C);
      t.cntFineC = t.cntFineL = SWEEP_STEPS;
      SetSearchState(works, 204);
      break;
    case 204:
      if (!Sweep(works, Knob::L, +1, t.cntFineL)) break;
      t.cntFineL = SWEEP_STEPS;
      ReturnAfterSweep(works, Knob::L);
      SetSearchState(works, 205);
      break;
    case 205:
      if (!Sweep(works, Knob::L, -1, t.cntFineL)) break;
      SetSearchState(works, 206);
      ReturnAfterSweep(works, Knob::L, true);
      WriteKnob(works, Knob::C, KnobValue(works, Knob::C));
      break;
    case 206:
      if (!TuneStep(works)) EscAutoTune(works, 1);
      break;
  }
}
