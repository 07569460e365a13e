#pragma once
// The tune memory: a frequency is reduced to an index on a segmented grid,
// and each antenna keeps one stored tune per index.
#include <cstdint>

#include "tuner/state.h"

struct Works;

constexpr int ATU_SEGMENTS = 22;      // segments of the grid; one more pair ends it
constexpr int ATU_LAST_INDEX = 4649;  // index of 54 MHz, the end of the grid

// {segment start in Hz, step in Hz}; the last pair's step is −1.
extern const int32_t tabAtuStep[ATU_SEGMENTS + 1][2];

// Index of the nearest grid point of `freq`, with the bounds of its segment:
// start and end (the next segment's start) in Hz, first index and one past
// the last index.
int AtuIdxSearch(uint32_t freq, int32_t &segStart, int32_t &segEnd, int &firstIdx, int &endIdx);
// Frequency of a grid index; above the end of the grid the last segment's
// step continues.
int32_t AtuFreqfromIdx(int idx);

void SaveTuneValsuTabRam(const TuneEntry &entry, int idx, int antenna, Works *works);
void LoadTuneValFromTabRam(TuneEntry &entry, int idx, int antenna, Works *works);
// 1 when no tune is stored at idx nor anywhere in [firstIdx, endIdx), else 0.
int EsisteTuneValInTabRam(Works *works, int idx, int firstIdx, int endIdx, int antenna);
// Nearest stored index in [firstIdx, endIdx) (the lower of two equally
// near), or −1.
int SearchBestTune(Works *works, int idx, int firstIdx, int endIdx, int antenna);
// Empties the table of one antenna.
void ClearTabRam(Works *works, int antenna);

// The stored tune of the current frequency into tuneVal.
void LoadTuneFromMEM(Works *works, int antenna);
// The current tuneVal into the memory and the ATU file of `bank`.
void InsertTuneToMem(Works *works, int bank, int antenna);

// The table of an antenna number: 0, 1, anything else the third.
inline int TuneTable(int antenna) { return antenna == 0 || antenna == 1 ? antenna : 2; }
