// The keys of the memory table and of the screens reached from it (row
// editor, save, bank utilities, copy, reset), and of the filter table.
#include <algorithm>

#include "core/works.h"
#include "settings/filters.h"
#include "tuner/bank_files.h"
#include "tuner/banks.h"
#include "ui/captions.h"
#include "ui/key_screens.h"
#include "ui/menu.h"
#include "ui/screen_state.h"

namespace {
constexpr int TABLE_COLUMNS = 5;  // Pwr, Att, AmpEnable, Ant, Atu
constexpr int ANTENNAS = 3;

// The next and the previous of `count` values 0..count - 1, wrapping.
int NextOf(int value, int count) { return value < 0 || value + 1 >= count ? 0 : value + 1; }
int PreviousOf(int value, int count) {
  return value <= 0 || value >= count ? count - 1 : value - 1;
}

// tableRow inside the rows loaded now (a reload may have brought fewer);
// false when there are none.
bool ClampTableRow(Works *works) {
  int rows = AntennaRowCount(works);
  if (rows <= 0) return false;
  works->ui.tableRow = std::clamp(works->ui.tableRow.load(), 0, rows - 1);
  return true;
}

void StepTableRow(Works *works, int delta) {
  if (!ClampTableRow(works)) return;
  int rows = AntennaRowCount(works), row = works->ui.tableRow;
  works->ui.tableRow = delta < 0 ? PreviousOf(row, rows) : NextOf(row, rows);
}

void EditCell(Works *works, bool minus) {
  int column = works->ui.tableColumn;
  if (column >= 0 && column < TABLE_COLUMNS && ClampTableRow(works)) ModifytabAntenna(works, minus);
}

void BackToMemoryTable(Works *works) {
  LblMenuAntenna(works);
  EnterState(works, UI_STATE_MEMORY);
}

int CurrentBank(Works *works) { return works->cfg.NumBanco; }
int Banks(Works *works) { return works->cfg.MAXbank; }

void MemoryTableKey(Works *works, int key) {
  switch (key) {
    case 1:
      CloseTable(works, UI_MEMORY_TABLE, UI_STATE_MAIN);
      break;
    case 2:
      ChangeInterfaceBanco(works);
      break;
    case 3:
    case 4:
      StepTableRow(works, key == 3 ? -1 : +1);
      break;
    case 5:
      EnterState(works, UI_STATE_BANK_UTIL);
      break;
    case 6:
      if (!ClampTableRow(works)) break;
      works->ui.tableColumn = 0;
      EnterState(works, UI_STATE_MEMORY_EDIT);
      break;
    default:
      break;
  }
}

void RowEditorKey(Works *works, int key) {
  std::atomic<int32_t> &column = works->ui.tableColumn;
  switch (key) {
    case 1:  // the edits are dropped: the bank's table as stored
      LoadTabConfig(works, CurrentBank(works));
      column = -1;
      BackToMemoryTable(works);
      break;
    case 2:
      column = PreviousOf(column, TABLE_COLUMNS);
      break;
    case 3:
      column = NextOf(column, TABLE_COLUMNS);
      break;
    case 4:
    case 5:
      EditCell(works, key == 5);
      break;
    case 6:
      SaveTabConfig(works, CurrentBank(works));
      break;
    default:
      break;
  }
}

void SaveTuneKey(Works *works, int key) {
  UiState &ui = works->ui;
  switch (key) {
    case 1:
      EnterState(works, UI_STATE_MAIN);
      break;
    case 2:
      ui.saveBank = NextOf(ui.saveBank, Banks(works));
      break;
    case 3:
      ui.saveAntenna = NextOf(ui.saveAntenna, ANTENNAS);
      break;
    case 6:
      if (!SaveTuneInBank(works, ui.saveBank, ui.saveAntenna))
        ui.uiMessage.fetch_or(UI_MSG_BYPASS_NOT_SAVED);
      EnterState(works, UI_STATE_TUNE);
      break;
    default:
      break;
  }
}

void BankUtilitiesKey(Works *works, int key) {
  switch (key) {
    case 1:
      BackToMemoryTable(works);
      break;
    case 2:
      works->ui.copySource = CurrentBank(works);
      EnterState(works, UI_STATE_COPY);
      break;
    case 3:
      works->ui.resetBank = CurrentBank(works);
      EnterState(works, UI_STATE_RESET);
      break;
    default:
      break;
  }
}

void CopyKey(Works *works, int key) {
  UiState &ui = works->ui;
  switch (key) {
    case 1:
      EnterState(works, UI_STATE_MEMORY);
      break;
    case 2:
      ui.copySource = NextOf(ui.copySource, Banks(works));
      break;
    case 3:
      ui.copyDest = NextOf(ui.copyDest, Banks(works));
      break;
    case 6:
      CopyBanco(works, ui.copySource, ui.copyDest);
      EnterState(works, UI_STATE_MEMORY);
      break;
    default:
      break;
  }
}

// The bank to reset: 0 .. MAXbank - 1, then MAXbank for all of them.
void ResetKey(Works *works, int key) {
  UiState &ui = works->ui;
  switch (key) {
    case 1:
      EnterState(works, UI_STATE_MEMORY);
      break;
    case 2:
      ui.resetBank = NextOf(ui.resetBank, Banks(works) + 1);
      break;
    case 6:
      ResetBanco(works, ui.resetBank);
      EnterState(works, UI_STATE_MEMORY);
      break;
    default:
      break;
  }
}
}  // namespace

int MemoryKeys(Works *works, const KeyPress &k) {
  switch (works->ui.uiState) {
    case UI_STATE_MEMORY:
      MemoryTableKey(works, k.key);
      break;
    case UI_STATE_MEMORY_EDIT:
      RowEditorKey(works, k.key);
      break;
    case UI_STATE_SAVE_TUNE:
      SaveTuneKey(works, k.key);
      break;
    case UI_STATE_BANK_UTIL:
      BankUtilitiesKey(works, k.key);
      break;
    case UI_STATE_COPY:
      CopyKey(works, k.key);
      break;
    case UI_STATE_RESET:
      ResetKey(works, k.key);
      break;
    default:
      break;
  }
  return 0;
}

// ESC always leaves: a filter state without its table shown would otherwise
// keep the keys there for good.
int FilterTableKeys(Works *works, const KeyPress &k) {
  std::atomic<int32_t> &row = works->cfg.filterMenuRow;
  switch (k.key) {
    case 1:
      CloseTable(works, UI_FILTER_TABLE, UI_STATE_MAIN);
      break;
    case 2:
      row = PreviousOf(row, FILTER_ROWS);
      break;
    case 3:
      row = NextOf(row, FILTER_ROWS);
      break;
    case 5:
    case 6:
      EnDisFilter(works, k.key == 5 ? 1 : 0);
      break;
    default:
      break;
  }
  return 0;
}
