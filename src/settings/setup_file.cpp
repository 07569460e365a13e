#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/safe_write.h"
#include "settings/setting_ranges.h"
#include "settings/setup_record.h"

namespace {

enum class Kind {
  Flag,     // one character
  Text,     // the rest of the line
  Integer,  // the rest of the line, and its leading integer into the mirror
};

// A mirror seen as the integer the file holds ("655" for 65.5 degrees).
using MirrorGet = int (*)(Works *);
using MirrorSet = void (*)(Works *, int);
using TextHook = void (*)(Works *, const char *value);

struct KeyDef {
  const char *key;
  size_t offset;    // field in SetupRecord
  size_t capacity;  // 0: the key has no field, only its mirror
  Kind kind;
  const char *defaultValue;
  MirrorGet get = nullptr;  // null: the field is written as stored
  MirrorSet set = nullptr;
  TextHook hook = nullptr;  // extra effect of reading the value
};

#define FIELD(name) offsetof(SetupRecord, name), sizeof(SetupRecord::name)

// Scaled values round to the nearest unit so that 1.15 is written back as 115
// and does not drift down by one on every save.
int Scaled(double value, int scale) { return static_cast<int>(std::lround(value * scale)); }

SettingsState &Cfg(Works *w) { return w->cfg; }

const char NUM_BANCO_DEFAULT[] = "1";

// In the order the file is written.
const KeyDef KEYS[] = {
    {"EnableKeyb", FIELD(EnableKeyb), Kind::Flag, "1"},
    {"EnableSpi", FIELD(EnableSpi), Kind::Flag, "0"},
    {"EnableTouch", FIELD(EnableTouch), Kind::Flag, "0"},
    {"DelayedTouch", FIELD(DelayedTouch), Kind::Flag, "0"},
    {"EnableGPIO", FIELD(EnableGPIO), Kind::Flag, "1"},
    {"EnableRead", FIELD(EnableRead), Kind::Flag, "0"},
    {"EnableWrite", FIELD(EnableWrite), Kind::Flag, "0"},
    {"EnableCAT", FIELD(EnableCAT), Kind::Flag, "0"},
    {"EnableLinear", FIELD(EnableLinear), Kind::Flag, "1"},
    {"EnableTime", FIELD(EnableTime), Kind::Flag, "1"},
    {"WebSocket", FIELD(WebSocket), Kind::Flag, "1"},
    {"Pitch", FIELD(Pitch), Kind::Text, "2500"},
    {"Quality", FIELD(Quality), Kind::Text, "100"},
    {"AudioIn", FIELD(AudioIn), Kind::Text, "hw:1"},
    {"InChannels", FIELD(InChannels), Kind::Text, "1"},
    {"AudioCompress", FIELD(AudioCompress), Kind::Integer, "0",
     [](Works *w) { return int(w->remote.AudioCompress); },
     [](Works *w, int v) { w->remote.AudioCompress = v; }},
    {"Multiplier", FIELD(Multiplier), Kind::Integer, "2", nullptr,
     [](Works *w, int v) { w->remote.audioFrameSize = v * 240; }},
    {"AudioOut", FIELD(AudioOut), Kind::Text, "hw:1"},
    {"Server", FIELD(Server), Kind::Text, "127.0.0.1", nullptr, nullptr,
     [](Works *w, const char *v) {
       snprintf(w->remote.serverAddr, sizeof w->remote.serverAddr, "%s", v);
     }},
    {"TcpPort", 0, 0, Kind::Integer, "6666", [](Works *w) { return int(w->remote.TcpPort); },
     [](Works *w, int v) { w->remote.TcpPort = static_cast<uint16_t>(v); }},
    {"CatPort", FIELD(CatPort), Kind::Text, "/dev/ttyUSB0"},
    {"SerPort", FIELD(SerPort), Kind::Text, "/dev/ttyUSB1"},
    {"LinPort", FIELD(LinPort), Kind::Text, "/dev/ttyAMA0"},
    {"NumAntenna", FIELD(NumAntenna), Kind::Flag, "1",
     [](Works *w) { return int(w->tuner.antennaIdx) + 1; },
     [](Works *w, int v) { w->tuner.antennaIdx = v - 1; }},
    {"EnablePwrPeak", FIELD(EnablePwrPeak), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).EnablePwrPeak); },
     [](Works *w, int v) { Cfg(w).EnablePwrPeak = uint8_t(v); }},
    {"TempMode", FIELD(TempMode), Kind::Flag, "0", [](Works *w) { return int(Cfg(w).TempMode); },
     [](Works *w, int v) { Cfg(w).TempMode = uint8_t(v); }},
    {"FreqSensIn", FIELD(FreqSensIn), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).FreqSensIn); },
     [](Works *w, int v) { Cfg(w).FreqSensIn = uint8_t(v); }},
    {"FreqPeriodTime", FIELD(FreqPeriodTime), Kind::Integer, "10",
     [](Works *w) { return int(Cfg(w).FreqPeriodTime); },
     [](Works *w, int v) { Cfg(w).FreqPeriodTime = v; }},
    {"Attenuator", FIELD(Attenuator), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).Attenuator); },
     [](Works *w, int v) { Cfg(w).Attenuator = uint8_t(v); }},
    {"AttenuatorTune", FIELD(AttenuatorTune), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).AttenuatorTune); },
     [](Works *w, int v) { Cfg(w).AttenuatorTune = uint8_t(v); }},
    {"SWRescAutoTune", FIELD(SWRescAutoTune), Kind::Integer, "0",
     [](Works *w) { return Scaled(Cfg(w).SWRescAutoTune, 100); },
     [](Works *w, int v) { Cfg(w).SWRescAutoTune = v / 100.0f; }},
    {"ViewTimeStr", FIELD(ViewTimeStr), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).ViewTimeStr); },
     [](Works *w, int v) { Cfg(w).ViewTimeStr = uint8_t(v); }},
    {"ViewTemp", FIELD(ViewTemp), Kind::Flag, "0", [](Works *w) { return int(Cfg(w).ViewTemp); },
     [](Works *w, int v) { Cfg(w).ViewTemp = uint8_t(v); }},
    {"MaxTemperature", FIELD(MaxTemperature), Kind::Integer, "600",
     [](Works *w) { return Scaled(Cfg(w).MaxTemperature, 10); },
     [](Works *w, int v) { Cfg(w).MaxTemperature = v / 10.0f; }},
    {"MaxTemperature2", FIELD(MaxTemperature2), Kind::Integer, "800",
     [](Works *w) { return Scaled(Cfg(w).MaxTemperature2, 10); },
     [](Works *w, int v) { Cfg(w).MaxTemperature2 = v / 10.0f; }},
    {"AutoTuneMaxCicli", FIELD(AutoTuneMaxCicli), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).AutoTuneMaxCicli); },
     [](Works *w, int v) { Cfg(w).AutoTuneMaxCicli = uint8_t(v); }},
    {"PowerUnits", FIELD(PowerUnits), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).PowerUnits); },
     [](Works *w, int v) { Cfg(w).PowerUnits = uint8_t(v); }},
    {"SaveScreenIdx", FIELD(SaveScreenIdx), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).SaveScreenIdx); },
     [](Works *w, int v) { Cfg(w).SaveScreenIdx = uint8_t(v); }},
    // Only the automatic-tune bit is stored; the other bits are run-time requests.
    {"AutoTuneMode", FIELD(AutoTuneMode), Kind::Flag, "0",
     [](Works *w) { return Cfg(w).AutoTuneMode & 1; },
     [](Works *w, int v) { Cfg(w).AutoTuneMode = uint8_t(v); }},
    {"EnableFFT", FIELD(EnableFFT), Kind::Flag, "0", nullptr, nullptr,
     [](Works *w, const char *v) { w->cfg.setup->fftRun = v[0]; }},
    {"Divide", FIELD(Divide), Kind::Integer, "0", [](Works *w) { return int(Cfg(w).Divide); },
     [](Works *w, int v) { Cfg(w).Divide = v; }},
    {"MaxTempAllowed", FIELD(MaxTempAllowed), Kind::Integer, "60",
     [](Works *w) { return int(Cfg(w).MaxTempAllowed); },
     [](Works *w, int v) { Cfg(w).MaxTempAllowed = v; }},
    {"PSpar1", FIELD(PSpar1), Kind::Integer, "1", [](Works *w) { return int(Cfg(w).PSpar1); },
     [](Works *w, int v) { Cfg(w).PSpar1 = v; }},
    {"PSpar2", FIELD(PSpar2), Kind::Integer, "1000", [](Works *w) { return int(Cfg(w).PSpar2); },
     [](Works *w, int v) { Cfg(w).PSpar2 = v; }},
    {"Isteresi1", FIELD(Isteresi1), Kind::Flag, "1", [](Works *w) { return int(Cfg(w).Isteresi1); },
     [](Works *w, int v) { Cfg(w).Isteresi1 = v; }},
    {"Isteresi2", FIELD(Isteresi2), Kind::Flag, "1", [](Works *w) { return int(Cfg(w).Isteresi2); },
     [](Works *w, int v) { Cfg(w).Isteresi2 = v; }},
    {"PSpar3", FIELD(PSpar3), Kind::Integer, "0", [](Works *w) { return int(Cfg(w).PSpar3); },
     [](Works *w, int v) { Cfg(w).PSpar3 = v; }},
    {"PSpar4", FIELD(PSpar4), Kind::Integer, "0", [](Works *w) { return int(Cfg(w).PSpar4); },
     [](Works *w, int v) { Cfg(w).PSpar4 = v; }},
    {"OffsetPlot", FIELD(OffsetPlot), Kind::Integer, "0",
     [](Works *w) { return Scaled(Cfg(w).OffsetPlot, 10); },
     [](Works *w, int v) { Cfg(w).OffsetPlot = v / 10.0; }},
    {"RefLevelPlot", FIELD(RefLevelPlot), Kind::Integer, "0",
     [](Works *w) { return int(Cfg(w).RefLevelPlot); },
     [](Works *w, int v) { Cfg(w).RefLevelPlot = v; }},
    {"RefPosPlot", FIELD(RefPosPlot), Kind::Integer, "10",
     [](Works *w) { return int(Cfg(w).RefPosPlot); },
     [](Works *w, int v) { Cfg(w).RefPosPlot = v; }},
    {"PointDivPlot", FIELD(PointDivPlot), Kind::Integer, "10",
     [](Works *w) { return int(Cfg(w).PointDivPlot); },
     [](Works *w, int v) { Cfg(w).PointDivPlot = v; }},
    {"CatSerialPort", FIELD(CatSerialPort), Kind::Text, "/dev/ttyUSB1"},
    {"TUNEenabled", FIELD(TUNEenabled), Kind::Integer, "0",
     [](Works *w) { return int(Cfg(w).TUNEenabled); },
     [](Works *w, int v) { Cfg(w).TUNEenabled = uint8_t(v & 0xff); }},
    {"NumBanco", FIELD(NumBanco), Kind::Integer, NUM_BANCO_DEFAULT,
     [](Works *w) { return int(Cfg(w).NumBanco); }, [](Works *w, int v) { Cfg(w).NumBanco = v; }},
    {"GMpar1", FIELD(GMpar1), Kind::Integer, "2", [](Works *w) { return int(Cfg(w).GMpar1); },
     [](Works *w, int v) { Cfg(w).GMpar1 = v; }},
    {"GMpar2", FIELD(GMpar2), Kind::Integer, "100", [](Works *w) { return int(Cfg(w).GMpar2); },
     [](Works *w, int v) { Cfg(w).GMpar2 = v; }},
    {"Peak_media", FIELD(Peak_media), Kind::Integer, "2", [](Works *) { return int(fattoremedia); },
     [](Works *, int v) { fattoremedia = v; }},
    {"Peak_ValDec", FIELD(Peak_ValDec), Kind::Integer, "10",
     [](Works *) { return Scaled(PeakDecrement, 10); },
     [](Works *, int v) { PeakDecrement = v / 10.0; }},
    {"Peak_TimeDec", FIELD(Peak_TimeDec), Kind::Integer, "1",
     [](Works *) { return int(PeakDecrementTime); }, [](Works *, int v) { PeakDecrementTime = v; }},
    {"Peak_Time", FIELD(Peak_Time), Kind::Integer, "3000",
     [](Works *) { return int(TimerPeakSec); }, [](Works *, int v) { TimerPeakSec = v; }},
    {"MAXbank", FIELD(MAXbank), Kind::Integer, "3", [](Works *w) { return int(Cfg(w).MAXbank); },
     [](Works *w, int v) { Cfg(w).MAXbank = v; }},
    {"BTN_longpress_Time", FIELD(BTN_longpress_Time), Kind::Integer, "5",
     [](Works *) { return Scaled(TIME_LONG_PRESS, 10); },
     [](Works *, int v) { TIME_LONG_PRESS = v / 10.0; }},
    {"EnableDebug", FIELD(EnableDebug), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).EnableDebug); },
     [](Works *w, int v) { Cfg(w).EnableDebug = uint8_t(v); }},
    {"Enable1600", FIELD(Enable1600), Kind::Flag, "1", nullptr, nullptr,
     [](Works *w, const char *) { w->cfg.setup->fftRun = '1'; }},
    {"EnableLOGTemp", FIELD(EnableLOGTemp), Kind::Flag, "0",
     [](Works *w) { return int(Cfg(w).EnableLOGTemp); },
     [](Works *w, int v) { Cfg(w).EnableLOGTemp = uint8_t(v); }},
    {"AudioBuffers", FIELD(AudioBuffers), Kind::Integer, "20",
     [](Works *w) { return int(w->remote.AudioBuffers); },
     [](Works *w, int v) { w->remote.AudioBuffers = v; }},
    {"AutoTuneTipo", FIELD(AutoTuneTipo), Kind::Flag, "0"},
    {"CPUTempVentola", FIELD(CPUTempVentola), Kind::Integer, "80",
     [](Works *w) { return int(Cfg(w).CPUTempVentola); },
     [](Works *w, int v) { Cfg(w).CPUTempVentola = v; }},
    {"CPUPercVentola", FIELD(CPUPercVentola), Kind::Integer, "70",
     [](Works *w) { return int(Cfg(w).CPUPercVentola); },
     [](Works *w, int v) { Cfg(w).CPUPercVentola = v; }},
};
#undef FIELD

char *Field(SetupRecord &record, const KeyDef &k) {
  return reinterpret_cast<char *>(&record) + k.offset;
}

char *Field(Works *works, const KeyDef &k) { return Field(*works->cfg.setup, k); }

void StoreText(char *field, size_t capacity, const char *value) {
  snprintf(field, capacity, "%s", value);  // longer values are cut to the field
}

// A number outside the setting's range (or none where one is due) gives way
// to the default, with one line that names the key and the value.
const char *CheckedValue(const KeyDef &k, const char *value) {
  const SettingRange *range = SettingRangeOf(k.key);
  if (!range || (k.kind == Kind::Flag && !value[0])) return value;
  if (SettingNumber(*range, k.kind == Kind::Flag, value)) return value;
  LogSys(LOG_PRIO_ERR, "%s: '%s' is not in %ld..%ld, %s used", k.key, value, range->lo, range->hi,
         k.defaultValue);
  return k.defaultValue;
}

void ApplyValue(Works *works, const KeyDef &k, const char *given) {
  const char *value = CheckedValue(k, given);
  if (k.kind == Kind::Flag) {
    if (!value[0]) return;  // an empty flag keeps its value
    Field(works, k)[0] = value[0];
    if (k.set) k.set(works, value[0] - '0');
  } else {
    if (k.capacity) StoreText(Field(works, k), k.capacity, value);
    int number;
    if (k.kind == Kind::Integer && k.set && sscanf(value, "%d", &number) == 1) k.set(works, number);
  }
  if (k.hook) k.hook(works, value);
}

void ApplyLine(Works *works, const std::string &line) {
  for (const KeyDef &k : KEYS) {
    size_t n = strlen(k.key);
    if (line.size() >= n + 2 && line.compare(0, n, k.key) == 0 && line.compare(n, 2, ": ") == 0) {
      ApplyValue(works, k, line.c_str() + n + 2);
      return;
    }
  }
}

// Refreshes every mirrored field from its mirror; the mirror wins.
void RefreshFromMirrors(Works *works) {
  for (const KeyDef &k : KEYS) {
    if (!k.get || !k.capacity) continue;
    char *field = Field(works, k);
    if (k.kind == Kind::Flag)
      field[0] = static_cast<char>(k.get(works) + '0');
    else
      snprintf(field, k.capacity, "%d", k.get(works));
  }
}

// The line of `k`: run flags change under it (read as single bytes), a text
// is taken no further than its field.
std::string FileLine(Works *works, const KeyDef &k) {
  std::string value;
  const char *field = Field(works, k);
  if (!k.capacity)
    value = std::to_string(k.get(works));
  else if (k.kind == Kind::Flag)
    value.assign(1, ReadSetupFlag(Field(works, k)[0]));
  else
    value.assign(field, strnlen(field, k.capacity));
  return std::string(k.key) + ": " + value + "\n";
}

void LogSetting(Works *works, const KeyDef &k) {
  if (k.kind == Kind::Flag) {
    LogSys(LOG_PRIO_INFO, "%s: -%c-", k.key, Field(works, k)[0]);
  } else if (k.kind == Kind::Text) {
    LogSys(LOG_PRIO_INFO, "%s: -%s-", k.key, Field(works, k));
  } else if (strcmp(k.key, "Divide") == 0) {
    LogSys(LOG_PRIO_INFO, "%s: -%s- -%d-", k.key, Field(works, k), k.get(works));
  } else {
    int value = k.get ? k.get(works) : atoi(Field(works, k));
    LogSys(LOG_PRIO_INFO, "%s: -%d-", k.key, value);
  }
}

// The line without its one trailing "\n" and then one trailing "\r"; at most
// 99 characters are taken, the rest of an overlong line is skipped.
bool NextLine(std::istream &in, std::string &line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > 99) line.resize(99);
  return true;
}
}  // namespace

void initSetup(Works *works) {
  InitGlobalVar(works);
  snprintf(works->remote.password, sizeof works->remote.password, "%s", "lumarondesta");
  SetupRecord *r = works->cfg.setup;
  memset(r, '1', sizeof *r - 1);
  r->terminator = 0;
  for (const KeyDef &k : KEYS) {
    if (!k.capacity) continue;
    if (k.kind == Kind::Flag)
      Field(works, k)[0] = k.defaultValue[0];
    else
      StoreText(Field(works, k), k.capacity, k.defaultValue);
  }
}

void ResetSetupDefaults(Works *works) {
  for (const KeyDef &k : KEYS) ApplyValue(works, k, k.defaultValue);
}

void readSetup(Works *works) {
  initSetup(works);
  const std::string &path = GetPaths().setupFile;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LogErr("Init Setup! ");
    writeSetup(works);
    LogSys(LOG_PRIO_ERR, "can't open %s", path.c_str());
    return;
  }
  ApplySetupText(works, in);
  in.close();
  for (const KeyDef &k : KEYS) LogSetting(works, k);
}

void ApplySetupText(Works *works, std::istream &in) {
  std::lock_guard<std::mutex> lock(works->cfg.setupMutex);
  std::string line;
  while (NextLine(in, line)) ApplyLine(works, line);
  // The bank is one of the banks there are (MAXbank may follow NumBanco).
  SettingsState &cfg = works->cfg;
  if (cfg.NumBanco < cfg.MAXbank) return;
  LogSys(LOG_PRIO_ERR, "NumBanco: '%d' is no bank below MAXbank %d, %s used", int(cfg.NumBanco),
         int(cfg.MAXbank), NUM_BANCO_DEFAULT);
  cfg.NumBanco = atoi(NUM_BANCO_DEFAULT);
  StoreText(cfg.setup->NumBanco, sizeof cfg.setup->NumBanco, NUM_BANCO_DEFAULT);
}

// One save at a time: the record is refreshed from the mirrors and
// formatted under its lock, so that the file never mixes two states of it.
bool writeSetup(Works *works) {
  std::lock_guard<std::mutex> lock(works->cfg.setupMutex);
  RefreshFromMirrors(works);
  std::string content;
  for (const KeyDef &k : KEYS) content += FileLine(works, k);
  return WriteSettingsFile(GetPaths().setupFile, content, OnOpenFailure::LeaveWritable);
}
