#include "settings/setting_ranges.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
// Where the menu edits a setting, its range is the menu's; where a command
// carries it, what the command's digits hold; else what the setting can
// mean (a percentage, a port, a count of banks).
const SettingRange RANGES[] = {
    {"InChannels", 1, 2},
    {"AudioCompress", 0, 512000},  // bits per second of the audio compression, 0 off
    {"Multiplier", 1, 12},         // audio periods of 240 frames
    {"TcpPort", 1, 65535},
    {"NumAntenna", 1, 3},
    {"EnablePwrPeak", 0, 1},
    {"TempMode", 0, 1},
    {"FreqSensIn", 0, 9},          // one digit of "FS"
    {"FreqPeriodTime", 0, 99999},  // sent in tens of ms with four digits
    {"Attenuator", 0, 3},
    {"AttenuatorTune", 0, 3},
    {"SWRescAutoTune", 0, 1000},  // 0 (off) to 10.00
    {"ViewTimeStr", 0, 1},
    {"ViewTemp", 0, 1},
    {"MaxTemperature", 200, 800},  // 20.0 to 80.0 degrees, the thermistor's reach
    {"MaxTemperature2", 200, 800},
    {"AutoTuneMaxCicli", 0, 4},
    {"PowerUnits", 0, 1},
    {"SaveScreenIdx", 0, 4},
    {"AutoTuneMode", 0, 3},  // the automatic-tune bit and the one handshake bit a file may hold
    {"Divide", 0, 99},
    {"MaxTempAllowed", 20, 80},
    {"PSpar1", 0, 9999},  // four digits of "PS"
    {"PSpar2", 0, 9999},
    {"PSpar3", 0, 9999},
    {"PSpar4", 0, 9999},
    {"Isteresi1", 0, 9},
    {"Isteresi2", 0, 9},
    {"OffsetPlot", -2000, 2000},  // -200.0 to 200.0 dB
    {"RefLevelPlot", -300, 100},
    {"RefPosPlot", 0, 10},
    {"PointDivPlot", 1, 20},
    {"TUNEenabled", -2147483647 - 1, 2147483647},  // any number: its low byte is taken
    {"NumBanco", 0, 19},                           // banks with files; below MAXbank too
    {"GMpar1", 0, 9999},                           // four digits of "GM"
    {"GMpar2", 0, 9999},
    {"Peak_media", 0, 99},
    {"Peak_ValDec", 0, 1000},  // 0 to 100.0 W a step
    {"Peak_TimeDec", 0, 99},
    {"Peak_Time", 0, 5000},
    {"MAXbank", 2, 20},
    {"BTN_longpress_Time", 3, 50},  // 0.3 to 5.0 s
    {"EnableDebug", 0, 1},
    {"EnableLOGTemp", 0, 1},
    {"AudioBuffers", 2, 100},
    {"CPUTempVentola", 0, 120},  // degrees
    {"CPUPercVentola", 0, 100},  // percent
};

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The leading integer as "%d" reads it: blanks, a sign, digits.
std::optional<long> LeadingInteger(const char *value) {
  const char *p = value;
  while (*p == ' ' || *p == '\t') p++;
  const char *digits = (*p == '-' || *p == '+') ? p + 1 : p;
  if (!Digit(*digits)) return std::nullopt;
  errno = 0;
  long n = strtol(p, nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return n;
}
}  // namespace

const SettingRange *SettingRangeOf(const char *key) {
  for (const SettingRange &r : RANGES)
    if (strcmp(r.key, key) == 0) return &r;
  return nullptr;
}

std::optional<long> SettingNumber(const SettingRange &range, bool oneDigit, const char *value) {
  std::optional<long> n;
  if (oneDigit) {
    if (Digit(value[0])) n = value[0] - '0';
  } else {
    n = LeadingInteger(value);
  }
  if (!n || *n < range.lo || *n > range.hi) return std::nullopt;
  return n;
}
