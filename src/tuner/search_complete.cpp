// Complete search: L upwards on network B, then C on network B and on
// network A from the L found, then L again around the best of both.
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "tuner/auto_tune.h"
#include "tuner/search.h"
#include "tuner/tune_word.h"

namespace {
constexpr float TOLERANCE = 0.1f;

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
      TuneEnd(works);
      L = KnobValue(works, Knob::L);
      if (!worse && L + 2 <= SEARCH_LIMIT) WriteKnob(works, Knob::L, L + 2);
      break;
    case 10:
      CoarseUp(works, Knob::L, 2, worse, 11, "stato++\n ", "inc induttanza  %d\n ");
      break;
    case 11:
      if (worse || L <= 0 || cnttunefine > 5) {
        SetSearchState(works, 12);
        TuneEnd(works);
      } else {
        cnttunefine++;
        WriteKnob(works, Knob::L, L - 1);
      }
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
