// Fast search: five calibrated start points measured on both networks, the
// best of them refined in steps of the calibration row, then a wide L sweep
// when the match is still poor.
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/calibration.h"
#include "tuner/auto_tune.h"
#include "tuner/search.h"
#include "tuner/tune_word.h"

namespace {
constexpr int PAIRS = 5;
constexpr int PAIR_LIMIT = 512;       // a pair value at or above ends the sampling
constexpr float GOOD_ENOUGH = 1.05f;  // best SWR that skips further refinement
constexpr int WIDE_SWEEP = 20;        // steps of the wide L sweep

struct StartPoints {
  int L[PAIRS];
  int C[PAIRS];
  int step;
};

// Without a calibration row for the frequency (no config.txt, or the row
// index cleared by the last tune) the search starts from points spread over
// the tuner's range.
constexpr StartPoints DEFAULT_POINTS{{8, 32, 96, 200, 360}, {8, 48, 140, 260, 420}, 8};

StartPoints Points(Works *works) {
  const SettingsState &cfg = works->cfg;
  int row = cfg.idxSogliaTS;
  if (!cfg.tabCalib || row < 0 || row >= cfg.nRowCalib) return DEFAULT_POINTS;
  const CalibRow &r = cfg.tabCalib[row];
  StartPoints p;
  for (int k = 0; k < PAIRS; k++) {
    p.L[k] = r.tuneL[k];
    p.C[k] = r.tuneC[k];
  }
  // A step that does not move would leave the refinement to the cycle limit.
  p.step = r.tuneStep > 0 ? r.tuneStep : DEFAULT_POINTS.step;
  return p;
}

bool PairValid(const StartPoints &p, int k) {
  return k >= 0 && k < PAIRS && p.L[k] >= 0 && p.L[k] < PAIR_LIMIT && p.C[k] >= 0 &&
         p.C[k] < PAIR_LIMIT;
}

void WritePair(Works *works, const StartPoints &p, int k) {
  WriteKnob(works, Knob::C, p.C[k]);
  WriteKnob(works, Knob::L, p.L[k]);
}

// States 453 and 455: the next calibrated pair, until the fifth or an
// invalid one.
void NextSample(Works *works, const StartPoints &p, int next) {
  int k = cnttune;
  if (!PairValid(p, k)) {
    SetSearchState(works, next);
    return;
  }
  WritePair(works, p, k);
  if (cnttune > 3) SetSearchState(works, next);
}

// Index of the lowest of `n` samples; the first of equal values, 0 when
// none is below 100.
int LowestSample(const float *samples, int n) {
  int k = 0;
  float low = 100;
  for (int i = 0; i < n; i++) {
    if (samples[i] < low) {
      low = samples[i];
      k = i;
    }
  }
  return k;
}

// State 456: the network that wins more of the pairwise comparisons, and its
// lowest pair.
void ChooseStartPoint(Works *works, const StartPoints &p) {
  TunerState &t = works->tuner;
  int h = t.nCampioni / 2;
  int scoreB = 0, scoreA = 0;
  for (int i = 0; i < h; i++) (t.campioniSWR[i] < t.campioniSWR[h + i] ? scoreB : scoreA)++;
  bool networkB = scoreB > scoreA;
  int first = networkB ? 0 : h;
  int k = LowestSample(t.campioniSWR + first, h);
  float swr = t.campioniSWR[first + k];
  bool tripped = t.campioniTripped[first + k];
  // A sampling ended early measured its last valid pair once more.
  while (k > 0 && !PairValid(p, k)) k--;
  WritePair(works, p, k);
  SetMode(works, networkB ? TUNE_MODE_B : TUNE_MODE_A);
  LogErr("%s", networkB ? " B " : " A ");
  // The search restarts from the chosen point with the SWR measured there;
  // so does the best, unless that measurement tripped the protection.
  steeringTuneParam = {swr, tuneParam.fwd, t.valL, t.valC, t.tuneVal};
  if (!tripped) miglioretuneParam = steeringTuneParam;
  t.scanAttivo = 0;
  t.nCampioni = 0;
  t.cntRaffina = 0;
}

void StartSampling(Works *works, const StartPoints &p, int mode) {
  SetMode(works, mode);
  WritePair(works, p, 0);
}

// States 457..462 after a measurement that did not end the tune.
void Refine(Works *works, int state, const StartPoints &p) {
  TunerState &t = works->tuner;
  const int s = p.step;
  int L = KnobValue(works, Knob::L), C = KnobValue(works, Knob::C);
  bool worse = WorseBy(0);
  switch (state) {
    case 457:  // L upwards
      if (worse) {
        SetSearchState(works, 458);
        if (L - s >= 0) WriteKnob(works, Knob::L, L - s);
      } else if (L + s <= SEARCH_LIMIT) {
        WriteKnob(works, Knob::L, L + s);
      } else {
        SetSearchState(works, 458);
      }
      break;
    case 458:  // L downwards
      if (worse) {
        SetSearchState(works, 459);
        WriteKnob(works, Knob::L, L + s);
      } else if (L - s >= 0) {
        WriteKnob(works, Knob::L, L - s);
      } else {
        SetSearchState(works, 459);
      }
      break;
    case 459:  // C downwards
      if (!worse && C - s >= 0) {
        WriteKnob(works, Knob::C, C - s);
      } else {
        SetSearchState(works, 460);
        WriteKnob(works, Knob::C, C + s);
      }
      break;
    case 460:  // C upwards, then another pass or the wide sweep
      if (!worse && C + s <= SEARCH_LIMIT) {
        WriteKnob(works, Knob::C, C + s);
        break;
      }
      if (worse && C - s >= 0) WriteKnob(works, Knob::C, C - s);
      t.cntRaffina++;
      if (steeringTuneParam.swr > GOOD_ENOUGH && t.cntRaffina <= 2) {
        SetSearchState(works, 457);
      } else {
        SetSearchState(works, 461);
      }
      break;
    case 461:
      if (steeringTuneParam.swr <= GOOD_ENOUGH || L + 10 * s > SEARCH_LIMIT) {
        SetSearchState(works, 463);
        break;
      }
      // Room was checked for 10 steps; the sweep starts 20 up, at most at the limit.
      WriteKnob(works, Knob::L,
                L + WIDE_SWEEP * s > SEARCH_LIMIT ? SEARCH_LIMIT : L + WIDE_SWEEP * s);
      t.nCampioni = 0;
      t.cntRaffina = 0;
      SetSearchState(works, 462);
      break;
    case 462:
      if (t.nCampioni <= WIDE_SWEEP - 1 && L - s >= 0) {
        WriteKnob(works, Knob::L, L - s);
      } else {
        SetSearchState(works, 463);
      }
      break;
    default:
      break;
  }
}
}  // namespace

void StepFastSearch(Works *works) {
  TunerState &t = works->tuner;
  const StartPoints p = Points(works);
  switch (int state = t.statoTune) {
    case 450:
      if (works->core.tavoTx != 1) return;
      SetSearchState(works, 451);
      Clr_vTuneParam(works);
      StartSampling(works, p, TUNE_MODE_B);
      return;
    case 451:
      SleepMillis(5);
      SetSearchState(works, 452);
      return;
    case 452:
      StartSampling(works, p, TUNE_MODE_B);
      SetSearchState(works, 453);
      cnttune = 0;
      t.nCampioni = 0;
      t.scanAttivo = 1;
      return;
    case 463:
      TuneStep(works);
      TuneEnd(works);
      t.scanAttivo = 0;
      EscAutoTune(works, 1);
      return;
    default:
      if (TuneStep(works)) return;
      if (state == 453) {
        NextSample(works, p, 454);
      } else if (state == 454) {
        StartSampling(works, p, TUNE_MODE_A);
        SetSearchState(works, 455);
        cnttune = 0;
      } else if (state == 455) {
        NextSample(works, p, 456);
      } else if (state == 456) {
        ChooseStartPoint(works, p);
        SetSearchState(works, 457);
      } else {
        Refine(works, state, p);
      }
  }
}
