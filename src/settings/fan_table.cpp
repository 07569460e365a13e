#include "settings/fan_table.h"

#include <cstdio>
#include <memory>

#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/table_line.h"
#include "settings/table_reading.h"

namespace {
constexpr int VENTOLA_LINE = 256;
// "FN1%03d;" carries three digits.
constexpr float LEVEL_MIN = 0, LEVEL_MAX = 999;

// The level is written as a real and used as an integer; out-of-range values
// (or no number at all) are held to what the fan command can carry.
int FanLevelOf(float value) {
  if (!(value >= LEVEL_MIN)) return int(LEVEL_MIN);
  if (value > LEVEL_MAX) return int(LEVEL_MAX);
  return static_cast<int>(value);
}
}  // namespace

void ReadVentolaFile(Works *works) {
  SettingsState &s = works->cfg;
  const std::string &path = GetPaths().ventolaFile;
  FILE *in = fopen(path.c_str(), "r");
  if (!in) {
    LogErr("Ventola File not FOUND!!");
    LogSys(LOG_PRIO_ERR, "can't open %s", path.c_str());
    return;
  }
  s.nRowVentola = 0;
  int rows = CountTableDataLines(in, VENTOLA_LINE);
  LogErr("N row Ventola File %d \n", rows);
  LogErr("Setup3 \n");
  s.tabVentola = std::make_unique<FanRow[]>(rows);
  rewind(in);
  char line[VENTOLA_LINE];
  int n = 0;
  while (n < rows && ReadTableLine(in, line, VENTOLA_LINE)) {
    if (IsTableComment(line)) continue;
    TableNumbers numbers(line);
    FanRow &r = s.tabVentola[n++];
    r.temp = numbers.Real();
    r.level = FanLevelOf(numbers.Real());
    LogErr("->t:%.02f: %d \n", r.temp, r.level);
  }
  s.nRowVentola = n;
  fclose(in);
}
