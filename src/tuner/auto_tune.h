#pragma once
// The automatic tune: a state machine advanced by one step per status reply
// of the amplifier while the transceiver sends a carrier. Each step reads
// the SWR of the setting sent before and writes the next setting into
// tuneVal; the link then sends it. The best setting seen is put back at the
// end and, when good enough, stored.
#include <cstdint>

struct Works;

// One measured tuner setting.
struct TuneParam {
  float swr;
  float fwd;  // forward power, W
  int32_t L;
  int32_t C;
  uint32_t tuneVal;
};

constexpr int TUNE_HISTORY = 10;
constexpr int TUNE_CYCLE_CHOICES = 5;

// First states of the three procedures.
constexpr int TUNE_COMPLETE_FIRST = 0;
constexpr int TUNE_FINE_FIRST = 200;
constexpr int TUNE_FAST_FIRST = 450;

// The search record, guarded by works->tuner.tuneMutex.
extern TuneParam tuneParam;                 // measurement of the current step
extern TuneParam miglioretuneParam;         // best so far: put back and stored
extern TuneParam steeringTuneParam;         // lowest reading so far (see below)
extern TuneParam vTuneParam[TUNE_HISTORY];  // [0] newest
extern int cnttune;                         // measurements of the tune, also the limit counter
extern int cnttunefine;                     // steps of the fine phases of the complete search

// A step that tripped the high-SWR protection is read at the reduced power
// the tripped amplifier lets through: the searches move around the lowest
// reading (steeringTuneParam), tripped or not, but miglioretuneParam never
// holds a tripped step, so such a setting is never put back or stored.

// Measurement limits chosen by AutoTuneMaxCicli, and their menu labels.
extern const int SWRTimeoutCICLI[TUNE_CYCLE_CHOICES];
extern const char SWRTimeout[TUNE_CYCLE_CHOICES][8];

// One step; the link calls it after every "ST" reply while a tune runs and
// sends "MT1%08X;" afterwards.
void TuneTask(Works *works);
// Measurement with history and target test; 1 when it ended the tune.
int TuneStep(Works *works);
// Measurement without history or target test (fine search).
void TuneStepComplete(Works *works);
void CtrlNuovoTune();
void Clr_vTuneParam(Works *works);
void Clr_vTuneParam_fast(Works *works);
// Puts the best setting back.
void TuneEnd(Works *works);
// Puts the steering setting into the tuner, to go on searching around it.
void ReturnToSteering(Works *works);
// Ends (or aborts) the tune; store = 1 stores a good enough result.
void EscAutoTune(Works *works, int store);
