#include "settings/calibration.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/table_line.h"
#include "settings/table_reading.h"

namespace {
constexpr int CONFIG_LINE = 256;
constexpr int TS_MAX = 4095;
constexpr float CURRENT_FULL_SCALE_A = 14.05f;  // amperes at a count of 4096

// Thresholds sent while no calibration row applies.
constexpr int32_t DEFAULT_TS_PWIN = 4095, DEFAULT_TS_FWD = 4095, DEFAULT_TS_REFL = 1500,
                  DEFAULT_TS_CORRENTE = 3700;

// Coefficients used without config.txt, by type.
constexpr float DEFAULT_K[] = {5.156579e-6f, 3.3262754e-6f, 5.5078103e-6f, -0.007f};

float PerSquaredCount(float watts, float count) { return watts / (count * count); }

CalibRow ParseCalibRow(const char *line) {
  TableNumbers n(line);
  CalibRow r{};
  r.fStart = n.AnyBase();
  r.fSecond = n.AnyBase();
  float p = n.Real();
  r.kFwd = PerSquaredCount(p, n.Real());
  p = n.Real();
  r.kRefl = PerSquaredCount(p, n.Real());
  p = n.Real();
  r.kPwin = PerSquaredCount(p, n.Real());
  r.kCorr = n.Real();
  r.sogliaPwin = n.Real();
  r.sogliaCorrente = n.Real();
  r.sogliaRefl = n.Real();
  r.sogliaFwd = n.Real();
  for (int k = 0; k < 5; k++) {
    r.tuneL[k] = n.Decimal();
    r.tuneC[k] = n.Decimal();
  }
  r.tuneStep = n.Decimal();
  return r;
}

// The raw input-power pair, printed as the file has it.
void LogCalibRow(const CalibRow &r, const char *line) {
  TableNumbers n(line);
  for (int skip = 0; skip < 2; skip++) n.AnyBase();
  for (int skip = 0; skip < 4; skip++) n.Real();
  float pwinP = n.Real();
  float pwinN = n.Real();
  LogErr(
      "->%u,%u,%02.07f,%02.07f,%02.07f,%02.07f (%02.02f,%02.02f) Soglie: PWIN %02.01f, "
      "Corrente: %02.01f, REFL: %02.01f, FWD: %02.01f\n",
      r.fStart, r.fSecond, r.kFwd, r.kRefl, r.kPwin, r.kCorr, pwinP, pwinN, r.sogliaPwin,
      r.sogliaCorrente, r.sogliaRefl, r.sogliaFwd);
  LogErr("\ttunepar: %d %d, %d %d, %d %d, %d %d, %d %d, step:%d\n", r.tuneL[0], r.tuneC[0],
         r.tuneL[1], r.tuneC[1], r.tuneL[2], r.tuneC[2], r.tuneL[3], r.tuneC[3], r.tuneL[4],
         r.tuneC[4], r.tuneStep);
}

// A count limited to the converter's range; a value that is not a number
// (a row with a zero reading) is out of range too.
int32_t ConverterCount(double value) {
  if (!(value < TS_MAX)) return TS_MAX;
  if (value < 0) return 0;
  return static_cast<int32_t>(value);
}

bool RowApplies(const SettingsState &s, int i, uint32_t freq) {
  return s.tabCalib[i].fStart <= freq && freq < s.tabCalib[i + 1].fStart;
}

float Coefficient(const CalibRow &r, int type) {
  switch (type) {
    case K_FWD:
      return r.kFwd;
    case K_REFL:
      return r.kRefl;
    case K_PWIN:
      return r.kPwin;
    case K_CORR:
      return r.kCorr;
    default:
      return 1.0f;
  }
}

void QueueThresholds(Works *works, int32_t pwin, int32_t fwd, int32_t refl, int32_t corrente) {
  SettingsState &s = works->cfg;
  s.sogliaTS[0] = pwin;
  s.sogliaTS[1] = fwd;
  s.sogliaTS[2] = refl;
  s.sogliaTS[3] = corrente;
  IncPNTIn_CMDLinear(CMD_TS, works);
}
}  // namespace

void ReadConfigFile(Works *works) {
  SettingsState &s = works->cfg;
  s.nRowCalib = 0;
  const std::string &path = GetPaths().configFile;
  FILE *in = fopen(path.c_str(), "r");
  if (!in) {
    LogErr("Config File not FOUND!!");
    LogSys(LOG_PRIO_ERR, "can't open %s", path.c_str());
    return;
  }
  int rows = CountTableDataLines(in, CONFIG_LINE);
  LogErr("N row Config File %d \n", rows);
  s.calibStorage = std::make_unique<CalibRow[]>(rows);
  s.tabCalib = s.calibStorage.get();
  rewind(in);
  char line[CONFIG_LINE];
  int n = 0;
  while (n < rows && ReadTableLine(in, line, CONFIG_LINE)) {
    if (IsTableComment(line)) continue;
    s.tabCalib[n] = ParseCalibRow(line);
    LogCalibRow(s.tabCalib[n], line);
    n++;
  }
  s.nRowCalib = n;
  fclose(in);
}

int CalibRowFor(Works *works, uint32_t freq) {
  for (int i = 0; i + 1 < works->cfg.nRowCalib; i++)
    if (RowApplies(works->cfg, i, freq)) return i;
  return -1;
}

float SearchK(Works *works, int type) {
  const SettingsState &s = works->cfg;
  if (s.nRowCalib == 0) return (type >= K_FWD && type <= K_CORR) ? DEFAULT_K[type] : 1.0f;
  float k = 1.0f;
  uint32_t freq = works->link.currentFreq;
  // Rows out of order may overlap: the last one that applies wins.
  for (int i = 0; i + 1 < s.nRowCalib; i++)
    if (RowApplies(s, i, freq)) k = Coefficient(s.tabCalib[i], type);
  return k;
}

void SearchCambioSoglie_TS(Works *works) {
  SettingsState &s = works->cfg;
  uint32_t freq = works->link.currentFreq;
  if (s.nRowCalib > 0 && freq != 0) {
    LogErr("Soglia TS (freq %ld):\n", long(freq));
    int i = CalibRowFor(works, freq);
    if (i < 0 || i == s.idxSogliaTS) return;
    const CalibRow &r = s.tabCalib[i];
    int32_t pwin = ConverterCount(std::sqrt(double(r.sogliaPwin) / r.kPwin));
    int32_t corrente = ConverterCount(double(r.sogliaCorrente) * 4096 / CURRENT_FULL_SCALE_A);
    int32_t fwd = ConverterCount(std::sqrt(double(r.sogliaFwd) / r.kFwd));
    int32_t refl = ConverterCount(std::sqrt(double(r.sogliaRefl) / r.kRefl));
    s.idxSogliaTS = i;
    QueueThresholds(works, pwin, fwd, refl, corrente);
    return;
  }
  if (s.idxSogliaTS >= 0) return;
  s.idxSogliaTS = 0;
  QueueThresholds(works, DEFAULT_TS_PWIN, DEFAULT_TS_FWD, DEFAULT_TS_REFL, DEFAULT_TS_CORRENTE);
}
