#include "tuner/tune_memory.h"

#include <cstdlib>

#include "core/log.h"
#include "core/works.h"
#include "tuner/bank_files.h"
#include "tuner/tune_word.h"

// Segment edges lie at or just outside the amateur bands, so each band has
// segments of its own; the grid is finer on the lower bands.
const int32_t tabAtuStep[ATU_SEGMENTS + 1][2] = {
    {0, 2000},         {1800000, 2000},   {2000000, 4000},   {3500000, 4000},   {4000000, 5000},
    {5330000, 5000},   {5400000, 5000},   {7000000, 5000},   {7300000, 5000},   {10100000, 10000},
    {10150000, 10000}, {14000000, 10000}, {14350000, 10000}, {18000000, 10000}, {18170000, 10000},
    {21000000, 20000}, {21500000, 25000}, {24850000, 25000}, {25000000, 25000}, {28000000, 25000},
    {29700000, 50000}, {50000000, 50000}, {54000000, -1},
};

namespace {
int SegmentPoints(int i) { return (tabAtuStep[i + 1][0] - tabAtuStep[i][0]) / tabAtuStep[i][1]; }

bool InMemory(int idx) { return idx >= 0 && idx < TUNE_MEM_SIZE; }
}  // namespace

int AtuIdxSearch(uint32_t freq, int32_t &segStart, int32_t &segEnd, int &firstIdx, int &endIdx) {
  int i = 0, n = 0;
  // The last segment is taken for every frequency not found earlier, 54 MHz
  // and above included.
  while (tabAtuStep[i + 1][1] != -1) {
    if (tabAtuStep[i][0] <= int64_t(freq) && int64_t(freq) < tabAtuStep[i + 1][0]) break;
    n += SegmentPoints(i);
    i++;
  }
  int64_t start = tabAtuStep[i][0], step = tabAtuStep[i][1];
  int idx = static_cast<int>((int64_t(freq) - start + step / 2) / step) + n;
  if (int64_t(freq) > tabAtuStep[i + 1][0]) idx++;
  segStart = tabAtuStep[i][0];
  segEnd = tabAtuStep[i + 1][0];
  firstIdx = n;
  endIdx = n + SegmentPoints(i);
  return idx;
}

int32_t AtuFreqfromIdx(int idx) {
  if (idx < 0) return 0;
  int base = 0;
  for (int i = 0; i < ATU_SEGMENTS; i++) {
    int next = base + SegmentPoints(i);
    if (idx <= next) return tabAtuStep[i][0] + (idx - base) * tabAtuStep[i][1];
    base = next;
  }
  // Beyond 54 MHz AtuIdxSearch continues the last segment one index further
  // on; this is the frequency that maps back to such an index.
  const int last = ATU_SEGMENTS - 1;
  return tabAtuStep[last][0] +
         (idx - 1 - (ATU_LAST_INDEX - SegmentPoints(last))) * tabAtuStep[last][1];
}

void SaveTuneValsuTabRam(const TuneEntry &entry, int idx, int antenna, Works *works) {
  if (!InMemory(idx)) return;
  TunerState &t = works->tuner;
  std::lock_guard<std::mutex> lock(t.tuneMemMutex);
  t.tabTuneRam[TuneTable(antenna)][idx] = entry;
}

void LoadTuneValFromTabRam(TuneEntry &entry, int idx, int antenna, Works *works) {
  entry = TuneEntry{};
  if (!InMemory(idx)) return;
  TunerState &t = works->tuner;
  {
    std::lock_guard<std::mutex> lock(t.tuneMemMutex);
    entry = t.tabTuneRam[TuneTable(antenna)][idx];
  }
  // A stored bypass comes back as network B with its C and L.
  if (entry.modo == TUNE_MODE_BYPASS) entry.modo = TUNE_MODE_B;
}

int SearchBestTune(Works *works, int idx, int firstIdx, int endIdx, int antenna) {
  TunerState &t = works->tuner;
  const TuneEntry *table = t.tabTuneRam[TuneTable(antenna)];
  int best = endIdx - firstIdx, found = -1;
  std::lock_guard<std::mutex> lock(t.tuneMemMutex);
  for (int j = firstIdx < 0 ? 0 : firstIdx; j < endIdx && j < TUNE_MEM_SIZE; j++) {
    if (!table[j].valid) continue;
    int distance = std::abs(j - idx);
    if (distance < best) {
      found = j;
      best = distance;
    }
  }
  return found;
}

int EsisteTuneValInTabRam(Works *works, int idx, int firstIdx, int endIdx, int antenna) {
  TuneEntry entry;
  LoadTuneValFromTabRam(entry, idx, antenna, works);
  if (entry.valid) return 0;
  return SearchBestTune(works, idx, firstIdx, endIdx, antenna) < 0 ? 1 : 0;
}

void ClearTabRam(Works *works, int antenna) {
  TunerState &t = works->tuner;
  std::lock_guard<std::mutex> lock(t.tuneMemMutex);
  for (TuneEntry &e : t.tabTuneRam[TuneTable(antenna)]) e = TuneEntry{};
}

void LoadTuneFromMEM(Works *works, int antenna) {
  TunerState &t = works->tuner;
  uint32_t freq = works->link.currentFreq;
  int32_t segStart, segEnd;
  int firstIdx, endIdx;
  int idx = AtuIdxSearch(freq, segStart, segEnd, firstIdx, endIdx);
  TuneEntry entry;
  LoadTuneValFromTabRam(entry, idx, antenna, works);
  if (!entry.valid) {
    int nearest = SearchBestTune(works, idx, firstIdx, endIdx, antenna);
    if (nearest >= 0) {
      LoadTuneValFromTabRam(entry, nearest, antenna, works);
      idx = nearest;
    }
  }
  uint32_t word = t.tuneVal;
  t.valC = DecodeCapacitaFromTuneval(word);
  t.valL = DecodeInduttanzaFromTuneval(word);
  t.modoTune = static_cast<uint8_t>(DecodeModoFromTuneval(word));
  if (!entry.valid) return;
  if (entry.C == t.valC && entry.L == t.valL && entry.modo == t.modoTune) return;
  SetC(works, entry.C);
  SetI(works, entry.L);
  SetMode(works, entry.modo);
  ReadTnePar(works);
  LogErr(">>>>>>>>>>>>>>> MEMTUNE: load a Tune for %ld idx:%d -> C %d I %d!!\n", long(freq), idx,
         entry.C, entry.L);
}

void InsertTuneToMem(Works *works, int bank, int antenna) {
  uint32_t freq = works->link.currentFreq;
  int32_t segStart, segEnd;
  int firstIdx, endIdx;
  int idx = AtuIdxSearch(freq, segStart, segEnd, firstIdx, endIdx);
  LogErr("--------------> Save Tune To File idx %d (idx:%d)\n", int(freq), idx);
  uint32_t word = works->tuner.tuneVal;
  TuneEntry entry{1, static_cast<uint8_t>(DecodeModoFromTuneval(word)),
                  static_cast<int16_t>(DecodeInduttanzaFromTuneval(word)),
                  static_cast<int16_t>(DecodeCapacitaFromTuneval(word))};
  LogErr("-------------- Save TuneVal C:%i, L:%i, M:%c\n", entry.C, entry.L, '0' + entry.modo);
  SaveTuneValsuTabRam(entry, idx, antenna, works);
  SaveTabAtu(works, bank, antenna);
}
