#pragma once
// Tuner, antenna and memory-bank slice of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

constexpr int TUNE_ANTENNAS = 3;
constexpr int TUNE_MEM_SIZE = 5000;  // entries per antenna (frequency indices)
constexpr int ANTENNA_ROWS = 11;     // rows of an antenna table
constexpr int ATT_STEPS = 4;         // input attenuator steps 0..3
constexpr int TUNE_SAMPLES = 10;     // SWR samples of the fast search

// Bits of autoAntFlags, the one byte of the automatic antenna and of the tune
// page's test transmission: the extended-IO link serves the request, the
// "AN" reply marks the antenna answer, and the timer starts no automatic
// tune while any bit is set.
constexpr uint8_t TEST_TX_REQUEST = 0x01;  // a request for the transceiver
constexpr uint8_t TEST_TX_ON = 0x02;       // it asks for the carrier (clear: receive)
constexpr uint8_t ANT_ANSWER_WAIT = 0x10;  // the amplifier's antenna answer is awaited
constexpr uint8_t ANT_ANSWER_DONE = 0x20;  // and has come

// One stored tune of the tune memory; the layout is the documented one.
struct TuneEntry {
  uint8_t valid;  // nonzero = holds a tune
  uint8_t modo;   // network mode 0..3
  int16_t L;
  int16_t C;
};
static_assert(sizeof(TuneEntry) == 6, "tune entry layout");

// One row of an antenna table: what a band uses.
struct AntennaRow {
  char Band[8];       // at most 7 characters, no blanks
  int32_t fStart;     // Hz, inclusive
  int32_t fStop;      // Hz, inclusive
  uint8_t AmpEnable;  // 1 amplifier in line, 0 bypassed
  uint8_t Ant;        // antenna output 1..3; 0 leaves the antenna unchanged
  uint8_t Atu;        // 1 tuner bypassed, 0 stored tune
  uint8_t Att;        // input attenuator step 0..3
  float Pwr;          // shown and edited only
};

struct TunerState {
  std::atomic<int32_t> antennaIdx{0};  // selected antenna output 0..2
  std::atomic<uint32_t> tuneVal{0};    // relay image of the tuner
  std::atomic<int32_t> valC{0};
  std::atomic<int32_t> valL{0};
  std::atomic<uint8_t> modoTune{0};
  std::atomic<int32_t> statoTune{0};     // state of the auto-tune search
  std::atomic<uint8_t> tuneStatus{0};    // 0 none, 1 running, 2 error step, 3 restart poll
  std::atomic<uint8_t> fineTune{0};      // the next tune is a fine search
  std::atomic<uint8_t> autoAntFlags{0};  // TEST_TX_* and ANT_ANSWER_* bits
  std::atomic<int32_t> autoAntCountdown{0};
  std::atomic<int32_t> modeWorkIdx{0};  // interface type: 0 generic, 1 TAVO, 2 FT-817

  // Tune memory, one table per antenna. Written by the bank loads and by
  // InsertTuneToMem, read by the link (command 27) and the timer; the lock
  // keeps every entry whole.
  std::mutex tuneMemMutex;
  TuneEntry tabTuneRam[TUNE_ANTENNAS][TUNE_MEM_SIZE]{};

  // Antenna table of the current bank, under its lock (the timer reads it,
  // the key dispatch edits and reloads it).
  std::mutex antennaMutex;
  AntennaRow tabAntenna[ANTENNA_ROWS]{};
  int nRowAntenna = 0;
  std::atomic<int32_t> idxRowAntenna{-1};  // row last applied; −1 none yet, 100 no row

  // The auto-tune session: the link thread runs the steps, the key dispatch
  // and the timer may start or abort it; the lock serialises them. The
  // fields below it are touched only under the lock.
  std::recursive_mutex tuneMutex;
  std::atomic<float> swrFinale{0};  // SWR of the setting put back at the end
  float campioniSWR[TUNE_SAMPLES]{};
  bool campioniTripped[TUNE_SAMPLES]{};  // the sample's step tripped the high-SWR protection
  int scanAttivo = 0;
  int nCampioni = 0;
  int cntRaffina = 0;
  int cntFineC = 0;
  int cntFineL = 0;
  // Refinement around the best at the end of the complete search.
  int refineMode = 0;      // network of the pass
  int refineStep = 0;      // distance of the probes; 0 ends the pass
  int refineDir = 0;       // next probe direction
  float refineCentre = 0;  // best SWR when the probes around it began
};
