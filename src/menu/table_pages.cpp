// The two tables edited with the menu's keys: the memory table of the
// current bank and the receive-filter table.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/works.h"
#include "settings/state.h"
#include "tuner/state.h"
#include "ui/captions.h"
#include "ui/menu.h"
#include "ui/status_area.h"
#include "ui/ui_text.h"

namespace {
constexpr int TITLE_SLOT = 0, ROW_SLOT = 8, CELL_SLOT = 7;
constexpr int HEADER_X = 50, HEADER_Y = 100, FIRST_ROW_Y = 130, ROW_STEP = 22;
constexpr int MEMORY_COLUMN_X[] = {50, 90, 170, 250, 350, 470, 540};
constexpr int FILTER_COLUMN_X[] = {50, 90, 290, 490};
constexpr Colour RED{255, 0, 0};
constexpr int ANTENNAS = TUNE_ANTENNAS;

struct AntennaTable {
  AntennaRow rows[ANTENNA_ROWS];
  int count;
};

AntennaTable CopyAntennaTable(Works *works) {
  TunerState &t = works->tuner;
  std::lock_guard<std::mutex> lock(t.antennaMutex);
  AntennaTable copy{};
  copy.count = t.nRowAntenna < 0 ? 0 : t.nRowAntenna > ANTENNA_ROWS ? ANTENNA_ROWS : t.nRowAntenna;
  memcpy(copy.rows, t.tabAntenna, sizeof copy.rows);
  return copy;
}

// The texts of the five editable cells (Pwr, Att, AmpEnable, Ant, Atu).
void CellTexts(const AntennaRow &r, char cells[5][16]) {
  snprintf(cells[0], 16, "%2.1f", double(r.Pwr));
  snprintf(cells[1], 16, "%.4s", AttVectStr[r.Att < ATT_STEPS ? r.Att : 0]);
  snprintf(cells[2], 16, "%s", r.AmpEnable == 1 ? "On" : "Off");
  snprintf(cells[3], 16, "%x", unsigned(r.Ant));
  snprintf(cells[4], 16, "%s", r.Atu == 1 ? "Off" : "On");
}

void DrawAntennaRow(Works *works, int i, const AntennaRow &r, bool selected, int column) {
  int y = FIRST_ROW_Y + ROW_STEP * i;
  Colour colour = selected ? ORANGE : LIGHT;
  char cells[5][16];
  CellTexts(r, cells);
  DrawText(works, ROW_SLOT, MEMORY_COLUMN_X[0], y, colour, "%i", i + 1);
  DrawText(works, ROW_SLOT, MEMORY_COLUMN_X[1], y, colour, "%.7s", r.Band);
  for (int c = 0; c < 5; c++) {
    bool edited = selected && c == column;
    DrawText(works, edited ? CELL_SLOT : ROW_SLOT, MEMORY_COLUMN_X[c + 2], y, edited ? RED : colour,
             "%s", cells[c]);
  }
}

int Stepped(int value, bool minus) { return minus ? value - 1 : value + 1; }
}  // namespace

void DrawMemoryTable(Works *works) {
  if (!works->display.fb) return;
  char label[8];
  GetLblInterface(works->tuner.modeWorkIdx, label);
  DrawText(works, TITLE_SLOT, 100, 50, ORANGE, " Memory Table Bank %i - Interface: %s",
           int(works->cfg.NumBanco), label);
  DrawText(works, ROW_SLOT, HEADER_X, HEADER_Y, LIGHT,
           "N     Band     Pwr    Att(dB)  AmpEnable    Ant       Atu");
  AntennaTable table = CopyAntennaTable(works);
  int row = works->ui.tableRow, column = works->ui.tableColumn;
  for (int i = 0; i < table.count; i++) DrawAntennaRow(works, i, table.rows[i], i == row, column);
}

void DrawFilterTable(Works *works) {
  if (!works->display.fb) return;
  FilterRow rows[FILTER_ROWS];
  {
    std::lock_guard<std::mutex> lock(works->cfg.filterMutex);
    memcpy(rows, works->cfg.tabFiltri, sizeof rows);
  }
  DrawText(works, TITLE_SLOT, 250, 50, ORANGE, "FILTER SETTINGS");
  DrawText(works, ROW_SLOT, HEADER_X, HEADER_Y, LIGHT,
           "N    Start (Hz)                 Stop(Hz)                   Enabled");
  int selected = works->cfg.filterMenuRow;
  for (int i = 0; i < FILTER_ROWS; i++) {
    int y = FIRST_ROW_Y + ROW_STEP * i;
    Colour colour = i == selected ? ORANGE : LIGHT;
    DrawText(works, ROW_SLOT, FILTER_COLUMN_X[0], y, colour, "%i", i);
    DrawText(works, ROW_SLOT, FILTER_COLUMN_X[1], y, colour, "%d", int(rows[i].fStart));
    DrawText(works, ROW_SLOT, FILTER_COLUMN_X[2], y, colour, "%d", int(rows[i].fStop));
    DrawText(works, ROW_SLOT, FILTER_COLUMN_X[3], y, colour, "%s",
             rows[i].enabled == 1 ? "On" : "Off");
  }
}

void ModifytabAntenna(Works *works, bool minus) {
  TunerState &t = works->tuner;
  int row = works->ui.tableRow, column = works->ui.tableColumn;
  std::lock_guard<std::mutex> lock(t.antennaMutex);
  if (row < 0 || row >= t.nRowAntenna) return;
  AntennaRow &r = t.tabAntenna[row];
  switch (column) {
    case 0:  // tenths, so that steps do not drift
      r.Pwr = float(Stepped(int(std::lround(r.Pwr * 10)), minus)) / 10.0f;
      break;
    case 1: {
      int att = Stepped(r.Att, minus);
      r.Att = uint8_t(att < 0 || att >= ATT_STEPS ? 0 : att);
      break;
    }
    case 2:
      r.AmpEnable = r.AmpEnable ? 0 : 1;
      break;
    case 3: {
      int ant = Stepped(r.Ant, minus);
      r.Ant = uint8_t(ant < 1 ? ANTENNAS : ant > ANTENNAS ? 1 : ant);
      break;
    }
    case 4:
      r.Atu = r.Atu ? 0 : 1;
      break;
    default:
      break;
  }
}
