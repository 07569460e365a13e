#include "amplifier/thermal.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/protection.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/shell.h"
#include "settings/temp_log.h"

namespace {
constexpr uint32_t COUNT_FULL_SCALE = 4095;
constexpr float DIVIDER_KOHM = 10.0f;
constexpr float TEMP_MIN = -10, TEMP_MAX = 80;
constexpr float TEMP_COLDEST = -40;
constexpr int MY_TEMP_LINE = 31;
constexpr int CPU_TEMP2_POS = 5, CPU_TEMP2_WIDTH = 4;

// Thermistor: degrees Celsius and kilo-ohms, in falling resistance.
const float K_T_R[34][2] = {
    {-40, 347.808f}, {-35, 248.591f}, {-30, 179.973f}, {-25, 131.832f}, {-20, 97.679f},
    {-15, 73.119f},  {-10, 55.301f},  {-5, 42.257f},   {0, 32.582f},    {5, 25.324f},
    {10, 19.847f},   {15, 15.679f},   {20, 12.478f},   {25, 10.000f},   {30, 8.068f},
    {35, 6.552f},    {40, 5.353f},    {45, 4.399f},    {50, 3.635f},    {55, 3.020f},
    {60, 2.521f},    {65, 2.115f},    {70, 1.783f},    {75, 1.510f},    {80, 1.284f},
    {85, 1.096f},    {90, 0.939f},    {95, 0.808f},    {100, 0.698f},   {105, 0.605f},
    {110, 0.527f},   {115, 0.460f},   {120, 0.403f},   {125, 0.354f},
};
constexpr int K_T_R_ROWS = sizeof K_T_R / sizeof K_T_R[0];

float InterpolatedTemp(float r) {
  for (int i = 0; i < K_T_R_ROWS; i++) {
    if (!(K_T_R[i][1] < r)) continue;
    if (i == 0) return TEMP_COLDEST;
    float t0 = K_T_R[i - 1][0], r0 = K_T_R[i - 1][1];
    float t1 = K_T_R[i][0], r1 = K_T_R[i][1];
    return (t1 - t0) / (r1 - r0) * (r - r0) + t0;
  }
  // At or below the last entry: hotter than the table, held by the limit.
  return TEMP_MAX;
}

// Rows of the fan curve that apply to `t`: the level of the interval, the
// last row's at or above it, the first row's below it.
int CurveLevel(const FanRow *rows, int n, float t) {
  for (int i = 0; i + 1 < n; i++)
    if (rows[i].temp <= t && t < rows[i + 1].temp) return rows[i].level;
  return t >= rows[n - 1].temp ? rows[n - 1].level : rows[0].level;
}

void FollowCpuTemperature(Works *works) {
  ThermalState &th = works->thermal;
  SettingsState &s = works->cfg;
  float c = std::max(float(th.cpuTemp1), float(th.cpuTemp2));
  int level = c >= s.CPUTempVentola ? int(s.CPUPercVentola) : 0;
  th.cpuFanLevel = level;
  if (level == th.cpuFanLast) return;
  if (!(th.cpuFanLast < level || c < float(s.CPUTempVentola - s.Isteresi2))) return;
  if (!IncPNTIn_CMDLinear(CMD_FN_CPU, works)) return;  // tried again on the next reply
  th.cpuFanLast = level;
  LogErr("--->2 VENTOLA CPU: %d (%02.02f°C)\n", level, double(c));
}

void RaiseAlarm(Works *works, int32_t a, int32_t b, int32_t c, float t) {
  DeleteErrore(works, c);
  DeleteErrore(works, b);
  AddErrore(works, a);
  AttivaDisattivaProtezione(works, 1);
  if (works->cfg.EnableLOGTemp == 1) {
    LogTempFunction(works, LOG_TEMP_PROTECTION);
    works->cfg.logTempRestarted = 0;  // the next transmission starts a new log
  }
  if (!(works->errors.errMask & 1)) IncPNTIn_CMDLinear(CMD_AB0, works);
  LogErr("!!!!  TEMP ALLARM: %02.02f (%i)\n", double(t), int(a));
}

void EndAlarm(Works *works, int32_t a, int32_t b, int32_t c) {
  if (ExistError(works, a)) {
    DeleteErrore(works, a);
    IncPNTIn_CMDLinear(CMD_AB1, works);
    AddErrore(works, b);
    LogErr("!!!! END TEMPERATURE ERROR (%i)\n", int(a));
  }
  if (ExistError(works, c)) {
    DeleteErrore(works, c);
    LogErr("!!!! WARNING: Warning Temperatura Rientrato!! (%i)\n", int(a));
  }
}

// The leading number of `text`, or `previous` when it has none.
float NumberOr(const char *text, float previous) {
  char *end;
  float v = strtof(text, &end);
  return end == text ? previous : v;
}
}  // namespace

bool ThermistorCountValid(uint32_t count) { return count <= COUNT_FULL_SCALE; }

float CalcolaTemp(uint32_t count) {
  float r = count * DIVIDER_KOHM / (float(COUNT_FULL_SCALE) - float(count));
  float t = count >= COUNT_FULL_SCALE ? TEMP_COLDEST : InterpolatedTemp(r);
  return std::clamp(t, TEMP_MIN, TEMP_MAX);
}

void GestTemperatureFunction(Works *works, int32_t a, int32_t b, int32_t c, float t, float limit) {
  if (t > limit) {
    if (!ExistError(works, a)) RaiseAlarm(works, a, b, c, t);
    return;
  }
  if (t < limit - float(works->cfg.Isteresi1)) {
    EndAlarm(works, a, b, c);
    return;
  }
  if (ExistError(works, a) || ExistError(works, c)) return;
  AddErrore(works, c);
  LogErr("!!!! WARNING: Quasi in Temperatura!! (%i)\n", int(a));
}

float SearchTemperatureFromVentola(Works *works, int level) {
  const SettingsState &s = works->cfg;
  for (int i = 0; i < s.nRowVentola; i++)
    if (s.tabVentola[i].level == level) return s.tabVentola[i].temp;
  return 0.0f;
}

void searchPercentVentola(Works *works) {
  ThermalState &th = works->thermal;
  const SettingsState &s = works->cfg;
  float t = std::max(float(works->link.temp1), float(works->link.temp2));
  if (!works->core.initDone || th.fanPending) return;
  // Without a curve (fewer than two rows) the fan keeps its level.
  if (s.nRowVentola < 2) return;
  th.fanLevel = CurveLevel(s.tabVentola.get(), s.nRowVentola, t);
  int level = th.fanLevel, last = th.fanCurveLast;
  if (level != last) {
    float t0 = SearchTemperatureFromVentola(works, last);
    if ((last < level || t < t0 - float(s.Isteresi2)) && IncPNTIn_CMDLinear(CMD_FN, works)) {
      th.fanPending = 1;
      th.fanCurveLast = level;
      if (level == 0) th.cpuFanLast = 0;
      LogErr("--->1 VENTOLA: %d (%02.02f°C)\n", level, double(t));
    }
  }
  if (th.fanCurveLast == 0) FollowCpuTemperature(works);
}

void ReadCPUTemp(Works *works) {
  std::string out = ReadShell("my_temp", 2 * (MY_TEMP_LINE + 1));
  if (out.empty()) {
    LogSys(LOG_PRIO_ERR, "my_temp: no processor temperature");
    _exit(1);
  }
  ThermalState &th = works->thermal;
  size_t eol = out.find('\n');
  std::string first = out.substr(0, std::min(eol, size_t(MY_TEMP_LINE)));
  th.cpuTemp1 = NumberOr(first.c_str(), th.cpuTemp1);
  if (eol == std::string::npos) return;
  std::string second = out.substr(eol + 1, MY_TEMP_LINE);
  if (second.size() > CPU_TEMP2_POS)
    th.cpuTemp2 = NumberOr(second.substr(CPU_TEMP2_POS, CPU_TEMP2_WIDTH).c_str(), th.cpuTemp2);
}
