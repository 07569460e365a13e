#include "tuner/banks.h"

#include <algorithm>

#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tuner/bank_files.h"
#include "tuner/tune_control.h"
#include "tuner/tune_memory.h"
#include "tuner/tune_word.h"

namespace {
constexpr uint8_t ATT_STAND_BY = 4;  // attenuator display state of a bypassed amplifier

bool RowHolds(const AntennaRow &row, uint32_t freq) {
  return int64_t(row.fStart) <= int64_t(freq) && int64_t(freq) <= int64_t(row.fStop);
}

int FindRow(const TunerState &t, uint32_t freq) {
  for (int i = 0; i < t.nRowAntenna; i++)
    if (RowHolds(t.tabAntenna[i], freq)) return i;
  return -1;
}

void LoadAtuTables(Works *works, int bank) {
  for (int a = 0; a < TUNE_ANTENNAS; a++) LoadTabAtu(works, bank, a);
}
}  // namespace

void InitTabAntenna(Works *works, int repair) {
  TunerState &t = works->tuner;
  std::lock_guard<std::mutex> lock(t.antennaMutex);
  InitAntennaRows(t.tabAntenna, repair);
  t.nRowAntenna = ANTENNA_ROWS;
}

int AntennaRowOf(Works *works, uint32_t freq, AntennaRow &row) {
  TunerState &t = works->tuner;
  std::lock_guard<std::mutex> lock(t.antennaMutex);
  int i = FindRow(t, freq);
  if (i >= 0) row = t.tabAntenna[i];
  return i;
}

int LastAntennaRowOf(Works *works, uint32_t freq, AntennaRow &row) {
  TunerState &t = works->tuner;
  std::lock_guard<std::mutex> lock(t.antennaMutex);
  for (int i = std::min(t.nRowAntenna, ANTENNA_ROWS) - 1; i >= 0; i--) {
    if (!RowHolds(t.tabAntenna[i], freq)) continue;
    row = t.tabAntenna[i];
    return i;
  }
  return -1;
}

int AntennaRowCount(Works *works) {
  std::lock_guard<std::mutex> lock(works->tuner.antennaMutex);
  return works->tuner.nRowAntenna;
}

void SaveToBank(Works *works, int bank, int antenna) {
  TunerState &t = works->tuner;
  {
    std::lock_guard<std::mutex> lock(t.antennaMutex);
    int i = FindRow(t, works->link.currentFreq);
    if (i >= 0) {
      AntennaRow &r = t.tabAntenna[i];
      r.Ant = static_cast<uint8_t>(antenna + 1);
      r.Atu = works->link.atuBypass;
      r.Att = works->cfg.Attenuator;
      r.AmpEnable = works->link.attDisplay < ATT_STAND_BY ? 1 : 0;
    }
  }
  SaveTabConfig(works, bank);
}

void LoadAllBankTable(Works *works, int bank) {
  works->tuner.modeWorkIdx = LoadTabConfig(works, bank);
  LoadAtuTables(works, bank);
  SetModeWorkIDX(works);
}

void ChangeBanco(Works *works) {
  SettingsState &cfg = works->cfg;
  int next = cfg.NumBanco + 1;
  SelectBanco(works, next >= cfg.MAXbank ? 0 : next);
}

void SelectBanco(Works *works, int bank) {
  works->cfg.NumBanco = bank;
  writeSetup(works);
  LoadAllBankTable(works, bank);
  // The timer applies the new bank's row at the present frequency.
  works->tuner.idxRowAntenna = -1;
}

void ChangeInterfaceBanco(Works *works) {
  TunerState &t = works->tuner;
  int next = t.modeWorkIdx + 1;
  t.modeWorkIdx = next > 2 ? 0 : next;
  SetModeWorkIDX(works);
  SaveToBank(works, works->cfg.NumBanco, t.antennaIdx);
}

bool SaveTuneInBank(Works *works, int bank, int antenna) {
  if (DecodeModoFromTuneval(works->tuner.tuneVal) == TUNE_MODE_BYPASS) return false;
  LoadTabAtu(works, bank, antenna);
  InsertTuneToMem(works, bank, antenna);
  LoadAllBankTable(works, works->cfg.NumBanco);
  return true;
}

void CopyBanco(Works *works, int from, int to) {
  LoadAtuTables(works, from);
  LoadTabConfig(works, from);
  for (int a = 0; a < TUNE_ANTENNAS; a++) SaveTabAtu(works, to, a);
  SaveTabConfig(works, to);
  // The working tables are the current bank's again, so that no later save
  // writes the source's data into the current bank's files.
  LoadAllBankTable(works, works->cfg.NumBanco);
  works->tuner.idxRowAntenna = -1;
}

void DeleteBankFiles(Works *works, int bank) {
  for (int which = 0; which <= BANK_FILE_ANTENNA; which++) DeleteFileConf(works, bank, which);
}

void ResetBanco(Works *works, int bank) {
  int maxBank = works->cfg.MAXbank;
  if (bank == maxBank) {
    for (int b = 0; b < maxBank; b++) DeleteBankFiles(works, b);
  } else {
    DeleteBankFiles(works, bank);
  }
  LoadAllBankTable(works, works->cfg.NumBanco);
  works->tuner.idxRowAntenna = -1;
}
