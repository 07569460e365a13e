#include "tuner/bank_files.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/safe_write.h"
#include "settings/table_line.h"
#include "tuner/tune_memory.h"
#include "tuner/tune_word.h"

namespace {
struct BandDefault {
  const char *name;
  int32_t fStart, fStop;
};
const BandDefault BANDS[ANTENNA_ROWS] = {
    {"160m", 1800000, 2000000},  {"80m", 3500000, 4000000},   {"60m", 5330500, 5450000},
    {"40m", 7000000, 7300000},   {"30m", 10100000, 10150000}, {"20m", 14000000, 14350000},
    {"17m", 18068000, 18168000}, {"15m", 21000000, 21450000}, {"12m", 24890000, 24990000},
    {"10m", 28000000, 29700000}, {"6m", 50000000, 54000000},
};

constexpr int BAND_NAME_MAX = 7;

bool NumberedBank(int bank) { return bank >= 1 && bank < BANK_FILE_BANKS; }

// Numbers follow one another, each parse starting where the last stopped; a
// missing one reads as 0.
struct NumberCursor {
  const char *p;
  unsigned long Unsigned() {
    char *end;
    unsigned long v = strtoul(p, &end, 0);
    p = end;
    return v;
  }
  long Decimal() {
    char *end;
    long v = strtol(p, &end, 10);
    p = end;
    return v;
  }
  float Real() {
    char *end;
    float v = strtof(p, &end);
    p = end;
    return v;
  }
};

int InterfaceOfLine(const char *line, int current) {
  if (strncmp(line, "!Gen", 4) == 0) return 0;
  if (strncmp(line, "!Tavo", 5) == 0) return 1;
  if (strncmp(line, "!817", 4) == 0) return 2;
  return current;
}

// A column of a row that becomes a command: a value outside its range
// gives way to the column's default, with one log line.
uint8_t RowColumn(const AntennaRow &row, const char *column, long value, long hi, uint8_t dflt) {
  if (value >= 0 && value <= hi) return static_cast<uint8_t>(value);
  LogSys(LOG_PRIO_ERR, "antenna table, row %s: %s %ld is not in 0..%ld, %d used", row.Band, column,
         value, hi, dflt);
  return dflt;
}

void ParseAntennaRow(const char *line, AntennaRow &row) {
  size_t len = strlen(line), name = 0;
  while (name < BAND_NAME_MAX && line[name] && !isblank(static_cast<unsigned char>(line[name])))
    name++;
  memcpy(row.Band, line, name);
  row.Band[name] = '\0';
  // The numbers start one character after the name, never past the line's end.
  NumberCursor n{line + (name + 1 < len ? name + 1 : len)};
  row.fStart = static_cast<int32_t>(n.Unsigned());
  row.fStop = static_cast<int32_t>(n.Unsigned());
  // The defaults are those of a new table: amplifier and tuner bypassed.
  row.AmpEnable = RowColumn(row, "AmpEnable", n.Decimal(), 1, 0);
  row.Ant = RowColumn(row, "Ant", n.Decimal(), TUNE_ANTENNAS, 1);
  row.Atu = RowColumn(row, "Atu", n.Decimal(), 1, 1);
  row.Att = RowColumn(row, "Att", n.Decimal(), ATT_STEPS - 1, 0);
  row.Pwr = n.Real();
}

// An entry whose network, L or C the tuner word cannot hold is not loaded:
// it would never be sent as it is stored.
bool EntryInRange(long idx, long modo, long L, long C) {
  if (modo >= 0 && modo <= TUNE_MODE_BYPASS && L >= 0 && L <= TUNE_LC_MAX && C >= 0 &&
      C <= TUNE_LC_MAX)
    return true;
  LogSys(LOG_PRIO_ERR, "ATU table, index %ld: network %ld, L %ld, C %ld out of range, not loaded",
         idx, modo, L, C);
  return false;
}

const char *InterfaceLine(int modeWorkIdx) {
  if (modeWorkIdx == 1) return "!Tavo\n";
  if (modeWorkIdx == 2) return "!817\n";
  return "!Gen\n";
}

struct FileCloser {
  void operator()(FILE *f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;
}  // namespace

std::string AntennaTableFile(const std::string &dir, int bank) {
  return NumberedBank(bank) ? dir + StrPrintf("/antenna_b%d.txt", bank) : dir + "/antenna.txt";
}

std::string AtuTableFile(const std::string &dir, int bank, int antenna) {
  int n = TuneTable(antenna) + 1;
  return NumberedBank(bank) ? dir + StrPrintf("/atu_ant%d_b%d.txt", n, bank)
                            : dir + StrPrintf("/atu_ant%d.txt", n);
}

void InitAntennaRows(AntennaRow rows[ANTENNA_ROWS], int repair) {
  for (int i = 0; i < ANTENNA_ROWS; i++) {
    AntennaRow &r = rows[i];
    snprintf(r.Band, sizeof r.Band, "%s", BANDS[i].name);
    r.fStart = BANDS[i].fStart;
    r.fStop = BANDS[i].fStop;
    if (repair) continue;
    r.AmpEnable = 0;
    r.Ant = 1;
    r.Atu = 1;
    r.Att = 0;
    r.Pwr = 0.0f;
  }
}

int ReadAntennaTable(FILE *in, AntennaRow rows[ANTENNA_ROWS], int &nRows) {
  char line[ANTENNA_LINE_MAX];
  int mode = 1;
  nRows = 0;
  while (ReadTableLine(in, line, sizeof line)) {
    if (IsTableComment(line)) continue;
    if (line[0] == '!') {
      mode = InterfaceOfLine(line, mode);
    } else if (nRows < ANTENNA_ROWS) {
      ParseAntennaRow(line, rows[nRows++]);
    }
  }
  return mode;
}

std::string FormatAntennaTable(const AntennaRow *rows, int nRows, int modeWorkIdx) {
  std::string text = InterfaceLine(modeWorkIdx);
  for (int i = 0; i < nRows; i++) {
    const AntennaRow &r = rows[i];
    text += StrPrintf("%.*s %ld %ld %i %i %i %i %2.1f\n", BAND_NAME_MAX, r.Band, long(r.fStart),
                      long(r.fStop), r.AmpEnable, r.Ant, r.Atu, r.Att, double(r.Pwr));
  }
  return text;
}

void ReadAtuTable(FILE *in, TuneEntry table[TUNE_MEM_SIZE]) {
  char line[ANTENNA_LINE_MAX];
  for (int lines = 0; lines < TUNE_MEM_SIZE && ReadTableLine(in, line, sizeof line);) {
    if (IsTableComment(line)) continue;
    lines++;
    NumberCursor n{line};
    long idx = n.Decimal();
    if (idx > TUNE_MEM_SIZE - 1) {
      LogErr("LoadTabAtu Errore idx\n");
      fputs("LoadTabAtu Errore idx", stdout);
      continue;
    }
    if (idx < 0) continue;
    n.Decimal();  // the frequency, informative only
    long valid = n.Decimal(), modo = n.Decimal(), L = n.Decimal(), C = n.Decimal();
    if (!EntryInRange(idx, modo, L, C)) continue;
    TuneEntry &e = table[idx];
    e.valid = static_cast<uint8_t>(valid);
    e.modo = static_cast<uint8_t>(modo);
    e.L = static_cast<int16_t>(L);
    e.C = static_cast<int16_t>(C);
  }
}

std::string FormatAtuTable(const TuneEntry table[TUNE_MEM_SIZE]) {
  std::string text;
  for (int i = 0; i < TUNE_MEM_SIZE; i++) {
    const TuneEntry &e = table[i];
    if (!e.valid) continue;
    text +=
        StrPrintf("%i %ld %i %i %i %i\n", i, long(AtuFreqfromIdx(i)), e.valid, e.modo, e.L, e.C);
  }
  return text;
}

int LoadTabConfig(Works *works, int bank) {
  TunerState &t = works->tuner;
  AntennaRow rows[ANTENNA_ROWS];
  {
    std::lock_guard<std::mutex> lock(t.antennaMutex);
    memcpy(rows, t.tabAntenna, sizeof rows);
  }
  for (AntennaRow &r : rows) r.AmpEnable = 0;
  int mode = 1, nRows = ANTENNA_ROWS;
  File in(fopen(AntennaTableFile(GetPaths().setDir, bank).c_str(), "r"));
  if (!in) {
    InitAntennaRows(rows, 0);
  } else {
    mode = ReadAntennaTable(in.get(), rows, nRows);
    for (int i = 0; i < nRows; i++) {
      if (rows[i].fStart != 0 && rows[i].fStop != 0) continue;
      InitAntennaRows(rows, 1);
      nRows = ANTENNA_ROWS;
      LogErr("Error Reinit antenna\n");
      break;
    }
  }
  {
    std::lock_guard<std::mutex> lock(t.antennaMutex);
    memcpy(t.tabAntenna, rows, sizeof rows);
    t.nRowAntenna = nRows;
  }
  t.idxRowAntenna = -1;
  return mode;
}

bool SaveTabConfig(Works *works, int bank) {
  TunerState &t = works->tuner;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(t.antennaMutex);
    text = FormatAntennaTable(t.tabAntenna, t.nRowAntenna, t.modeWorkIdx);
  }
  return WriteSettingsFile(AntennaTableFile(GetPaths().setDir, bank), text);
}

void LoadTabAtu(Works *works, int bank, int antenna) {
  auto table = std::make_unique<TuneEntry[]>(TUNE_MEM_SIZE);
  File in(fopen(AtuTableFile(GetPaths().setDir, bank, antenna).c_str(), "r"));
  if (in) ReadAtuTable(in.get(), table.get());
  TunerState &t = works->tuner;
  std::lock_guard<std::mutex> lock(t.tuneMemMutex);
  memcpy(t.tabTuneRam[TuneTable(antenna)], table.get(), sizeof t.tabTuneRam[0]);
}

bool SaveTabAtu(Works *works, int bank, int antenna) {
  LogErr("SaveTabAtu Bank%i , antenna %i\n", bank, antenna);
  TunerState &t = works->tuner;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(t.tuneMemMutex);
    text = FormatAtuTable(t.tabTuneRam[TuneTable(antenna)]);
  }
  return WriteSettingsFile(AtuTableFile(GetPaths().setDir, bank, antenna), text);
}

void DeleteFileConf(Works *, int bank, int which) {
  // Banks above 19 have no files of their own: their name would be bank 0's.
  if (bank < 0 || bank >= BANK_FILE_BANKS || which < 0 || which > BANK_FILE_ANTENNA) {
    LogSys(LOG_PRIO_ERR, "can't delete file bank %d", bank);
    return;
  }
  const std::string &dir = GetPaths().setDir;
  std::string path =
      which == BANK_FILE_ANTENNA ? AntennaTableFile(dir, bank) : AtuTableFile(dir, bank, which);
  if (RunSettingsCommand("rm -f " + path) == SettingsCommand::Failed)
    LogSys(LOG_PRIO_ERR, "can't delete file bank %d", bank);
}
