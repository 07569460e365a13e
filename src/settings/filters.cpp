#include "settings/filters.h"

#include <cstdio>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/safe_write.h"
#include "settings/table_line.h"
#include "settings/table_reading.h"

namespace {
constexpr int FILTER_LINE = 512;
constexpr const char *FILTER_HEADER =
    ";Fstart(hz)\tFstop         enabled   : 1= abilitata, l'ordine delle righe corrisponde al "
    "filtro di attivazione   j23 ultimo by pass (0 ,54000000)  verso esterno\n";

FilterRow ParseFilterRow(const char *line) {
  TableNumbers n(line);
  FilterRow r{};
  r.fStart = n.AnyBase();
  r.fStop = n.AnyBase();
  r.enabled = static_cast<uint8_t>(n.Decimal());
  return r;
}

// The first enabled row whose range holds `freq` (both bounds inclusive), or −1.
int FilterRowFor(const FilterRow *rows, uint32_t freq) {
  for (int i = 0; i < FILTER_ROWS; i++)
    if (rows[i].enabled == 1 && rows[i].fStart <= freq && freq <= rows[i].fStop) return i;
  return -1;
}
}  // namespace

void LoadTabFiltri(Works *works) {
  SettingsState &s = works->cfg;
  std::lock_guard<std::mutex> lock(s.filterMutex);
  for (FilterRow &r : s.tabFiltri) r.enabled = 0;
  FILE *in = fopen(GetPaths().filterFile.c_str(), "r");
  if (!in) {
    LogErr("Filter File not FOUND!!\n");
    return;
  }
  char line[FILTER_LINE];
  int row = 0;
  while (row < FILTER_ROWS && ReadTableLine(in, line, FILTER_LINE)) {
    if (IsTableComment(line)) continue;
    FilterRow &r = s.tabFiltri[row];
    r = ParseFilterRow(line);
    LogErr("Filter %i %ld,%ld,%x\n", row, long(r.fStart), long(r.fStop), unsigned(r.enabled));
    row++;
  }
  fclose(in);
}

std::string FormatTabFiltri(Works *works) {
  SettingsState &s = works->cfg;
  std::lock_guard<std::mutex> lock(s.filterMutex);
  std::string text = FILTER_HEADER;
  for (const FilterRow &r : s.tabFiltri) {
    char line[64];
    snprintf(line, sizeof line, "%ld\t\t%ld\t\t%i \n", long(r.fStart), long(r.fStop),
             int(r.enabled));
    text += line;
  }
  return text;
}

void SaveTabFiltri(Works *works) {
  LogErr("SaveTabFiltri \n");
  WriteSettingsFile(GetPaths().filterFile, FormatTabFiltri(works));
}

void SetFilterFromfreq(Works *works) {
  SettingsState &s = works->cfg;
  std::lock_guard<std::mutex> lock(s.filterMutex);
  int row = FilterRowFor(s.tabFiltri, works->link.currentFreq);
  if (row < 0) return;
  uint8_t mask = static_cast<uint8_t>(1u << row);
  if (mask == s.filterMask) return;
  s.filterMask = mask;
  IncPNTIn_CMDLinear(CMD_SF_SET, works);
  LogErr(">>>>>>>>>>>>>>> SET FILTER: %i!!\n", row + 1);
}

void EnDisFilter(Works *works, int value) {
  SettingsState &s = works->cfg;
  int row = s.filterMenuRow;
  if (row < 0 || row >= FILTER_ROWS) return;
  {
    std::lock_guard<std::mutex> lock(s.filterMutex);
    s.tabFiltri[row].enabled = static_cast<uint8_t>(value);
  }
  SetFilterFromfreq(works);
  SaveTabFiltri(works);
}
