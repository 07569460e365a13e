#include "tuner/auto_tune.h"

#include <cstdio>
#include <string>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/protection.h"
#include "core/log.h"
#include "core/works.h"
#include "tuner/search.h"
#include "tuner/tune_memory.h"
#include "tuner/tune_word.h"

TuneParam tuneParam, miglioretuneParam, steeringTuneParam, vTuneParam[TUNE_HISTORY];
int cnttune, cnttunefine;

const int SWRTimeoutCICLI[TUNE_CYCLE_CHOICES] = {600, 400, 300, 200, 100};
const char SWRTimeout[TUNE_CYCLE_CHOICES][8] = {"25sec", "20sec", "15sec", "10sec", "5sec"};

namespace {
constexpr float SWR_UNKNOWN = 999.0f;
constexpr float SWR_HI_PROTECTION = 100.0f;
constexpr float SWR_NO_READING = 0.01f;  // at or below: no carrier was measured
constexpr float SWR_STORE_MAX = 6.0f;
constexpr uint8_t STATUS_B_HI_SWR = 0x02;
// AutoTuneMode bits of the tune handshake.
constexpr uint8_t AT_AUTO = 0x01, AT_RECEIVE = 0x04, AT_REQUEST = 0x10, AT_ASK_CARRIER = 0x20,
                  AT_CARRIER_ASKED = 0x40;

std::string NetworkTag(uint32_t word) {
  std::string tag;
  if (word & TUNE_BIT_B) tag += " B ";
  if (word & TUNE_BIT_A) tag += " A ";
  return tag;
}

bool Measured(float swr) { return swr > SWR_NO_READING; }

// The step measured last tripped the high-SWR protection.
bool stepTripped = false;

// Takes the step just measured into the steering and, unless it tripped the
// protection, into the best; true when it became the best. A step without a
// reading (no carrier) is neither.
bool NoteBest() {
  if (!Measured(tuneParam.swr)) return false;
  if (tuneParam.swr < steeringTuneParam.swr) steeringTuneParam = tuneParam;
  if (stepTripped || tuneParam.swr >= miglioretuneParam.swr) return false;
  miglioretuneParam = tuneParam;
  return true;
}

// Sets the tuner to `p` and shows its readings.
void PutBack(Works *works, const TuneParam &p) {
  TunerState &t = works->tuner;
  tuneParam = p;
  works->link.swr = p.swr;
  works->link.pwrFwd = p.fwd;
  t.valL = p.L;
  t.valC = p.C;
  t.tuneVal = p.tuneVal;
}

// Steps 1 to 4 of a measurement: the SWR of the setting sent before, the
// diagnostic line, the counter. A tripped high-SWR protection is cleared by
// the link before the next step (tuneStatus 2).
std::string Measure(Works *works) {
  TunerState &t = works->tuner;
  bool protection = works->link.statusB & STATUS_B_HI_SWR;
  float swr = works->link.swr;
  stepTripped = protection;
  if (protection) {
    // The meters still read the setting: the search steers by that reading,
    // so that it can tell a poor setting from a worse one. Only a step
    // without a reading is the worst.
    if (!Measured(swr)) swr = SWR_HI_PROTECTION;
    t.tuneStatus = 2;
  }
  tuneParam = {swr, works->link.pwrFwd, t.valL, t.valC, t.tuneVal};
  std::string line = StrPrintf("%d-%d) Err ", cnttune, int(t.statoTune)) +
                     (protection ? "1 " : "0 ") +
                     StrPrintf("SWR %05.2f FWD %05.2f L %04d C %04d T %08x ", tuneParam.swr,
                               tuneParam.fwd, tuneParam.L, tuneParam.C, tuneParam.tuneVal) +
                     NetworkTag(tuneParam.tuneVal);
  cnttune++;
  return line;
}

int CycleLimitIndex(Works *works) {
  int i = works->cfg.AutoTuneMaxCicli;
  return i < TUNE_CYCLE_CHOICES ? i : TUNE_CYCLE_CHOICES - 1;
}

// The search gives up: the best is put back, nothing stored, protection on.
void EndAtCycleLimit(Works *works) {
  LogErr("%d max cicli-> esco\n", cnttune);
  TuneEnd(works);
  EscAutoTune(works, 0);
  AddErrore(works, works->cfg.SWRescAutoTune == 0 ? ERR_TUNE_TIMEOUT : ERR_TUNE_SWR_WARNING);
  AttivaDisattivaProtezione(works, 1);
}
}  // namespace

void CtrlNuovoTune() {
  NoteBest();
  for (int i = TUNE_HISTORY - 1; i > 0; i--) vTuneParam[i] = vTuneParam[i - 1];
  vTuneParam[0] = tuneParam;
}

int TuneStep(Works *works) {
  TunerState &t = works->tuner;
  LogErr("%s", Measure(works).c_str());
  CtrlNuovoTune();
  float target = works->cfg.SWRescAutoTune;
  LogErr(" SWResc  %05.2f SWR[1] %05.2f SWR[0] %05.2f\n", target, vTuneParam[1].swr,
         vTuneParam[0].swr);
  if (t.scanAttivo > 0 && t.nCampioni >= 0 && t.nCampioni < TUNE_SAMPLES) {
    t.campioniSWR[t.nCampioni] = tuneParam.swr;
    t.campioniTripped[t.nCampioni] = stepTripped;
  }
  t.nCampioni++;
  float swr = tuneParam.swr;
  if (swr < target && Measured(swr) && !stepTripped) {
    LogErr("ESC AUTO TUNE TARGET FOUND! %05.2f ( %01.4f) FOUND!\n", swr, swr);
    TuneEnd(works);
    EscAutoTune(works, 1);
    return 1;
  }
  return 0;
}

void TuneStepComplete(Works *works) {
  LogErr("%s\n", Measure(works).c_str());
  if (NoteBest())
    LogErr("MIGLIORE:SWR %05.2f L %04d C %04d\n", tuneParam.swr, tuneParam.L, tuneParam.C);
}

void Clr_vTuneParam(Works *works) {
  LogErr("TUNE CLEAR\n");
  works->tuner.swrFinale = 0;
  tuneParam = miglioretuneParam = steeringTuneParam = {SWR_UNKNOWN, 0, 0, 0, 0};
  for (TuneParam &p : vTuneParam) p = tuneParam;
}

void Clr_vTuneParam_fast(Works *works) {
  LogErr("TUNE CLEAR\n");
  TunerState &t = works->tuner;
  tuneParam = {works->link.swr, works->link.pwrFwd, t.valL, t.valC, t.tuneVal};
  // Without an earlier tune there is no best to compete: the present setting
  // stands in for it, so the end of the search never falls back to an empty word.
  float best = miglioretuneParam.swr;
  if (!Measured(best) || best >= SWR_UNKNOWN)
    miglioretuneParam = {SWR_UNKNOWN, 0, t.valL, t.valC, t.tuneVal};
  steeringTuneParam = miglioretuneParam;
}

void TuneEnd(Works *works) {
  TunerState &t = works->tuner;
  const TuneParam &b = miglioretuneParam;
  PutBack(works, b);
  t.swrFinale = b.swr;
  LogErr("%s", (StrPrintf("miglioretuneParam %d-%d) SWR %05.2f FRW %05.2f L%4d C%4d T %08x ",
                          cnttune, int(t.statoTune), b.swr, b.fwd, b.L, b.C, b.tuneVal) +
                NetworkTag(b.tuneVal) + StrPrintf(" (==>SWR %05.2f) TuneEnd\n", b.swr))
                   .c_str());
}

void ReturnToSteering(Works *works) { PutBack(works, steeringTuneParam); }

void EscAutoTune(Works *works, int store) {
  TunerState &t = works->tuner;
  std::lock_guard<std::recursive_mutex> lock(t.tuneMutex);
  if (miglioretuneParam.swr <= SWR_STORE_MAX) {
    if (store == 1) InsertTuneToMem(works, works->cfg.NumBanco, t.antennaIdx);
  } else {
    AddErrore(works, ERR_TUNE_MAX_SWR);
    LogErr("------- ERRORE MAX TUNE (%f)\n", tuneParam.swr);
  }
  IncPNTIn_CMDLinear(CMD_AT, works);
  cnttune = 0;
  std::atomic<uint8_t> &mode = works->cfg.AutoTuneMode;
  // The extended-IO link returns the transceiver to receive: with automatic
  // tune on, and also whenever a carrier was asked for (automatic tune
  // turned off during the tune); a carrier not yet asked for is not.
  if (mode & (AT_AUTO | AT_REQUEST | AT_ASK_CARRIER | AT_CARRIER_ASKED)) mode |= AT_RECEIVE;
  mode &= uint8_t(~AT_ASK_CARRIER);
  works->cfg.idxSogliaTS = -1;
  LogErr("------- Esc AutoTune (0x%x)\n", unsigned(mode));
  t.tuneStatus = 0;
}

void TuneTask(Works *works) {
  TunerState &t = works->tuner;
  std::lock_guard<std::recursive_mutex> lock(t.tuneMutex);
  // An abort may have come between the link's test and this call.
  if (t.tuneStatus == 0 || works->link.cmdPriority) return;
  if (cnttune > SWRTimeoutCICLI[CycleLimitIndex(works)]) {
    EndAtCycleLimit(works);
    return;
  }
  int state = t.statoTune;
  if (state < TUNE_FINE_FIRST) {
    StepCompleteSearch(works);
  } else if (state < TUNE_FAST_FIRST) {
    StepFineSearch(works);
  } else {
    StepFastSearch(works);
  }
}

// Shared pieces of the procedures.

int KnobValue(Works *works, Knob knob) {
  return knob == Knob::L ? works->tuner.valL : works->tuner.valC;
}

void WriteKnob(Works *works, Knob knob, int value) {
  value = value < 0 ? 0 : value > TUNE_LC_MAX ? TUNE_LC_MAX : value;
  if (knob == Knob::L) {
    works->tuner.valL = value;
    SetI(works, value);
  } else {
    works->tuner.valC = value;
    SetC(works, value);
  }
}

void LowerKnob(Works *works, Knob knob) {
  int v = KnobValue(works, knob);
  if (v > 1) WriteKnob(works, knob, v - 1);
}

void SetSearchState(Works *works, int state) { works->tuner.statoTune = state; }

bool WorseBy(float tolerance) { return vTuneParam[1].swr + tolerance < vTuneParam[0].swr; }
