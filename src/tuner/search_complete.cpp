// Complete search: L upwards on network B, then C on network B and on
// network A from the L found, then L and C together around the best, on
// each network.
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "tuner/auto_tune.h"
#include "tuner/search.h"
#include "tuner/tune_word.h"

namespace {
constexpr float TOLERANCE = 0.1f;
constexpr int REFINE_FIRST_STEP = 8;

// Probe directions around the best, in L and C. The diagonals follow the
// valley of an L network, along which L and C must change together.
constexpr int DIRECTIONS = 8;
constexpr int PROBE[DIRECTIONS][2] = {{1, 0}, {-1, 0},  {0, 1},  {0, -1},
                                      {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};

int OtherNetwork(int mode) { return mode == TUNE_MODE_B ? TUNE_MODE_A : TUNE_MODE_B; }

void BeginRefinement(Works *works, int mode) {
  TunerState &t = works->tuner;
  t.refineMode = mode;
  t.refineStep = REFINE_FIRST_STEP;
  t.refineDir = 0;
  t.refineCentre = steeringTuneParam.swr;
}

// Sets the next probe around the best on the pass's network: the eight
// directions at one distance, then at half of it; false when none is left.
bool NextProbe(Works *works) {
  TunerState &t = works->tuner;
  if (steeringTuneParam.swr < t.refineCentre) {  // the last probe leads now
    t.refineCentre = steeringTuneParam.swr;
    t.refineDir = 0;
  }
  while (t.refineStep > 0) {
    if (t.refineDir == DIRECTIONS) {
      t.refineDir = 0;
      t.refineStep /= 2;
      continue;
    }
    const int *d = PROBE[t.refineDir++];
    int L = steeringTuneParam.L + d[0] * t.refineStep;
    int C = steeringTuneParam.C + d[1] * t.refineStep;
    if (L < 0 || C < 0 || L > SEARCH_LIMIT || C > SEARCH_LIMIT) continue;
    SetMode(works, t.refineMode);
    WriteKnob(works, Knob::L, L);
    WriteKnob(works, Knob::C, C);
    return true;
  }
  return false;
}

// Coarse sweep upwards: on by `step` until a step is worse or the limit is
// reached, then to `next` one below.
void CoarseUp(Works *works, Knob knob, int step, bool worse, int next, const char *turnText,
              const char *stepText) {
  if (worse) {
    LogErr("%s", turnText);
  } else {
    LogErr(stepText, step);
    int v = KnobValue(works, knob);
    if (v + step <= SEARCH_LIMIT) {
      WriteKnob(works, knob, v + step);
      return;
    }
  }
  SetSearchState(works, next);
  cnttunefine = 0;
  LowerKnob(works, knob);
}

void Start(Works *works) {
  LogErr("tune ok......................\n ");
  Clr_vTuneParam(works);
  SetMode(works, TUNE_MODE_B);
  WriteKnob(works, Knob::C, 0);
  WriteKnob(works, Knob::L, 0);
  cnttune = 0;
  SetSearchState(works, 2);
}

// States 3..11, after a measurement that did not end the tune.
void Advance(Works *works, int state, bool worse) {
  int L = KnobValue(works, Knob::L), C = KnobValue(works, Knob::C);
  switch (state) {
    case 3:
      CoarseUp(works, Knob::L, 4, worse, 4, "stato++\n ", "inc induttanza  %d\n ");
      break;
    case 4:
      if (!worse && L > 0 && cnttunefine <= 7) {
        cnttunefine++;
        WriteKnob(works, Knob::L, L - 1);
      } else {
        SetSearchState(works, 5);
        cnttunefine = 0;
        WriteKnob(works, Knob::C, C + 8);
      }
      break;
    case 5:
      CoarseUp(works, Knob::C, 8, worse, 6, "stato c ++\n ", "inc capacita B(dx) %d \n ");
      break;
    case 6:
      if (worse || C <= 0 || cnttunefine > 15) {
        SetSearchState(works, 7);
        cnttunefine = 0;
        SetMode(works, TUNE_MODE_A);
        WriteKnob(works, Knob::C, 0);
      } else {
        cnttunefine++;
        WriteKnob(works, Knob::C, C - 1);
      }
      break;
    case 7:
      if (C + 8 <= SEARCH_LIMIT) WriteKnob(works, Knob::C, C + 8);
      SetSearchState(works, 8);
      break;
    case 8:
      CoarseUp(works, Knob::C, 8, worse, 9, "stato c ++\n ", "inc capacita A(sx) %d \n ");
      break;
    case 9:
      if (!worse && C > 0 && cnttunefine <= 15) {
        cnttunefine++;
        WriteKnob(works, Knob::C, C - 1);
        break;
      }
      SetSearchState(works, 10);
      cnttunefine = 0;
      ReturnToSteering(works);
      // The leading setting's network first (B when nothing was measured).
      BeginRefinement(works, DecodeModoFromTuneval(steeringTuneParam.tuneVal) == TUNE_MODE_A
                                 ? TUNE_MODE_A
                                 : TUNE_MODE_B);
      NextProbe(works);
      break;
    case 10:  // around the best on its own network, then on the other one
      if (NextProbe(works)) break;
      SetSearchState(works, 11);
      BeginRefinement(works, OtherNetwork(works->tuner.refineMode));
      NextProbe(works);
      break;
    case 11:
      if (NextProbe(works)) break;
      SetSearchState(works, 12);
      TuneEnd(works);
      break;
    default:
      break;
  }
}
}  // namespace

void StepCompleteSearch(Works *works) {
  switch (int state = works->tuner.statoTune) {
    case 0:
      SetSearchState(works, 1);
      return;
    case 1:
      Start(works);
      return;
    case 2:
      if (works->core.tavoTx != 1) return;  // no carrier yet: nothing measured
      SleepMillis(3);
      SetSearchState(works, 3);
      return;
    case 12:
      TuneStep(works);
      EscAutoTune(works, 1);
      return;
    default:
      if (TuneStep(works)) return;
      Advance(works, state, WorseBy(TOLERANCE));
  }
}
