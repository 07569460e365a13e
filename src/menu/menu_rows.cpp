// The thirty menu parameters: what each shows and how each key edits it.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/works.h"
#include "menu/menu_service.h"
#include "menu/menu_table.h"
#include "network/lan_settings.h"
#include "settings/setup_record.h"
#include "tuner/auto_tune.h"
#include "tuner/state.h"
#include "ui/menu.h"
#include "ui/screen_state.h"
#include "ui/status_area.h"

MenuEntry menuPar[MENU_ROWS];

namespace {
using TextFn = void (*)(Works *, char *, size_t);
using StepFn = void (*)(Works *, int action);  // MENU_MINUS .. MENU_NEXT_FIELD
using EnterFn = void (*)(Works *);

// What "<" and ">" do on a row: nothing, save the value as it is, or the
// same as a step (toggles, addresses, the mode).
enum class Fields { None, Save, Step };
// When a held key repeats.
enum class Repeat { Never, Always, NotEnter, PlusMinus };

struct MenuRow {
  uint32_t id;
  const char *heading, *item;
  TextFn text;
  StepFn step;
  EnterFn enter;
  Fields fields;
  Repeat repeat;
  bool multiField;
};

constexpr int SCREENSAVER_CHOICES = 5;
constexpr uint8_t ATU_NOT_INSTALLED = 0x80;

SettingsState &Cfg(Works *w) { return w->cfg; }
void Save(Works *w) { writeSetup(w); }
int Sign(int action) { return action == MENU_MINUS ? -1 : +1; }

// Stops at the limits: a step that would leave lo..hi is not taken.
int StepWithin(int value, int delta, int lo, int hi) {
  int next = value + delta;
  return next < lo || next > hi ? value : next;
}
int WrapWithin(int value, int delta, int lo, int hi) {
  int next = value + delta;
  return next > hi ? lo : next < lo ? hi : next;
}
// Decimal settings are edited in whole tenths or hundredths, so that steps
// never drift.
int Units(double value, int perOne) { return int(std::lround(value * perOne)); }

void Print(char *text, size_t size, const char *format, auto... values) {
  snprintf(text, size, format, values...);
}
void OnOff(char *text, size_t size, bool on) { Print(text, size, "%s", on ? "ON" : "OFF"); }

// Rows 18 to 21: each address with the cursor of its editor.
struct Address {
  Octets *octets;
  int *cursor;
  std::atomic<uint8_t> *none;  // the file's "no value" flag, or null
};
Address AddressOf(int index) {
  switch (index) {
    case 18:
      return {&IP_v, &CntIP, nullptr};
    case 19:
      return {&NetMask_v, &CntNetMask, nullptr};
    case 20:
      return {&Gateway_v, &CntGateway, &Gateway_none};
    default:
      return {&DNS_v, &CntDNS, &DNS_none};
  }
}

void AddressText(int index, char *text, size_t size) {
  SplitAddrInv(text, size, *AddressOf(index).octets);
}
// A changed octet gives the address a value, which the save then writes.
void AddressStep(int index, int action) {
  Address a = AddressOf(index);
  *a.cursor = ModifyIP(action, *a.cursor, *a.octets);
  if (a.none && (action == MENU_MINUS || action == MENU_PLUS)) *a.none = 0;
}
void SaveAddresses(Works *w) { SaveLanParam(w); }

void ToggleFlag(std::atomic<uint8_t> &flag) { flag = flag ? 0 : 1; }
void ToggleCtrlBit(Works *w, uint8_t bit) { w->input.ctrlFlags.fetch_xor(bit); }
bool CtrlBit(Works *w, uint8_t bit) { return w->input.ctrlFlags & bit; }

void ModeStep(Works *w, int) {
  if (w->core.remoteActive)
    w->core.remoteActive = 0;
  else if (RemoteReady(w))
    w->core.remoteActive = 1;
}

void LongPressStep(Works *, int action) {
  TIME_LONG_PRESS = StepWithin(Units(TIME_LONG_PRESS, 10), Sign(action), 3, 50) / 10.0;
}

void ScreensaverStep(Works *w, int action) {
  int i = Cfg(w).SaveScreenIdx;
  Cfg(w).SaveScreenIdx =
      uint8_t(action == MENU_PLUS ? (i + 1) % SCREENSAVER_CHOICES : (i > 0 ? i - 1 : 0));
}

// Below 1.00 the target is off (0): minus from 1.00 turns it off, plus
// from off goes to 1.00.
void TargetSwrStep(Works *w, int action) {
  int h = Units(Cfg(w).SWRescAutoTune, 100) + Sign(action);
  if (h < 100) h = action == MENU_MINUS ? 0 : 100;
  if (h > 1000) h = 1000;
  Cfg(w).SWRescAutoTune = h / 100.0f;
}

// Index 0 is the longest time-out ("25sec"): plus goes towards it and stops
// there, minus goes towards "5sec" and then starts again from "25sec".
void TimeoutStep(Works *w, int action) {
  int i = Cfg(w).AutoTuneMaxCicli;
  if (action == MENU_PLUS)
    i = i > 0 ? i - 1 : 0;
  else
    i = i + 1 < TUNE_CYCLE_CHOICES ? i + 1 : 0;
  Cfg(w).AutoTuneMaxCicli = uint8_t(i);
}

void AtuInstalledStep(Works *w, int) {
  Cfg(w).TUNEenabled ^= ATU_NOT_INSTALLED;
  LogErr("----------> SAVE ATU: 0x%0X\n", unsigned(Cfg(w).TUNEenabled));
}

void RefLevelStep(Works *w, int action) {
  int v = Cfg(w).RefLevelPlot;
  if (action == MENU_PLUS && v <= 99) v += 10;
  if (action == MENU_MINUS && v >= -299) v -= 10;
  Cfg(w).RefLevelPlot = v;
}

// 1, 2, 5, 10, 20 and back.
void PointDivStep(Works *w, int action) {
  int v = Cfg(w).PointDivPlot;
  if (action == MENU_PLUS && v <= 19) v = v * 2 == 4 ? 5 : v * 2;
  if (action == MENU_MINUS && v > 1) v /= 2;
  Cfg(w).PointDivPlot = v;
}

void OffsetStep(Works *w, int action) {
  int t = Units(Cfg(w).OffsetPlot, 10);
  if (action == MENU_PLUS && t < 2000) t++;
  if (action == MENU_MINUS && t > -2000) t--;
  Cfg(w).OffsetPlot = t / 10.0;
}

void TemperatureStep(Works *w, std::atomic<float> &alarm, int action) {
  int top = Cfg(w).MaxTempAllowed * 10;
  alarm = StepWithin(Units(alarm, 10), Sign(action), 200, top) / 10.0f;
}

void FreqPeriodStep(Works *w, int action) {
  int v = Cfg(w).FreqPeriodTime;
  if (action == MENU_PLUS && v <= 9999) v += 10;
  if (action == MENU_MINUS && v >= 11) v -= 10;
  Cfg(w).FreqPeriodTime = v;
}

void FreqPeriodEnter(Works *w) {
  IncPNTIn_CMDLinear(CMD_FS, w);
  Save(w);
}

// ON opens the filter table over the menu, OFF closes it; the key dispatch
// then goes to the screen that is shown.
void FiltersEnter(Works *w) {
  if (w->ui.filterSwitch)
    OpenTable(w, UI_FILTER_TABLE, w->ui.uiState);
  else
    CloseTable(w, UI_FILTER_TABLE, w->ui.uiState);
}

void TemperatureText(char *text, size_t size, float value) {
  Print(text, size, "%02.02f°C", double(value));
}

const char *const SCREENSAVER_TEXT[SCREENSAVER_CHOICES] = {"5min", "10min", "20min", "30min",
                                                           "60min"};

#define LAN_ROW(n, id, item)                                                                      \
  {                                                                                               \
    id, "LAN", item, [](Works *, char *t, size_t s) { AddressText(n, t, s); },                    \
        [](Works *, int a) { AddressStep(n, a); }, SaveAddresses, Fields::Step, Repeat::NotEnter, \
        true                                                                                      \
  }

const MenuRow ROWS[MENU_ROWS] = {
    {1, "MEMORY BANKS", "Max Banks Number",
     [](Works *w, char *t, size_t s) { Print(t, s, "%d", int(Cfg(w).MAXbank)); },
     [](Works *w, int a) { Cfg(w).MAXbank = WrapWithin(Cfg(w).MAXbank, Sign(a), 2, 20); }, Save,
     Fields::Save, Repeat::Never, false},
    {2, "FILTERS", "Rx Filters Settings",
     [](Works *w, char *t, size_t s) { OnOff(t, s, w->ui.filterSwitch); },
     [](Works *w, int) { ToggleFlag(w->ui.filterSwitch); }, FiltersEnter, Fields::Step,
     Repeat::Never, false},
    {3, "MODALITY", "KESTRA Use Mode",
     [](Works *w, char *t, size_t s) {
       Print(t, s, "%s", w->core.remoteActive ? "Remote" : "Local");
     },
     ModeStep, ApplyRemoteMode, Fields::Step, Repeat::Never, false},
    {10, "TIME", "Long Press Time",
     [](Works *, char *t, size_t s) { Print(t, s, "%01.01fsec", double(TIME_LONG_PRESS)); },
     LongPressStep, Save, Fields::Save, Repeat::Never, false},
    {11, "TIME", "Screensaver Timeout",
     [](Works *w, char *t, size_t s) {
       Print(t, s, "%s", SCREENSAVER_TEXT[Cfg(w).SaveScreenIdx % SCREENSAVER_CHOICES]);
     },
     ScreensaverStep, Save, Fields::None, Repeat::Never, false},
    {15, "PEAK POWER METER", "Activation",
     [](Works *w, char *t, size_t s) { OnOff(t, s, Cfg(w).EnablePwrPeak); },
     [](Works *w, int) { ToggleFlag(Cfg(w).EnablePwrPeak); }, Save, Fields::Step, Repeat::Never,
     false},
    {16, "PEAK POWER METER", "Release Time",
     [](Works *, char *t, size_t s) { Print(t, s, "%ims", int(TimerPeakSec)); },
     [](Works *, int a) { TimerPeakSec = StepWithin(TimerPeakSec, 10 * Sign(a), 0, 5000); }, Save,
     Fields::Save, Repeat::Always, false},
    {20, "TUNE", "Enable Tune",
     [](Works *w, char *t, size_t s) { OnOff(t, s, Cfg(w).AutoTuneMode & 1); },
     [](Works *w, int) { Cfg(w).AutoTuneMode = (Cfg(w).AutoTuneMode & 1) ? 0 : 1; }, Save,
     Fields::Step, Repeat::Never, false},
    {21, "TUNE", "Force Attenuator",
     [](Works *w, char *t, size_t s) {
       Print(t, s, "%sdB", AttVectStr[Cfg(w).AttenuatorTune % ATT_STEPS]);
     },
     [](Works *w, int) {
       Cfg(w).AttenuatorTune = uint8_t((Cfg(w).AttenuatorTune + 1) % ATT_STEPS);
     },
     Save, Fields::None, Repeat::Never, false},
    {22, "TUNE", "Target SWR (0=Off)",
     [](Works *w, char *t, size_t s) { Print(t, s, "%02.02f", double(Cfg(w).SWRescAutoTune)); },
     TargetSwrStep, Save, Fields::Save, Repeat::Always, false},
    {23, "TUNE", "Auto Tune Timeout",
     [](Works *w, char *t, size_t s) {
       Print(t, s, "%s", SWRTimeout[Cfg(w).AutoTuneMaxCicli % TUNE_CYCLE_CHOICES]);
     },
     TimeoutStep, Save, Fields::None, Repeat::Never, false},
    {24, "TUNE", "ATU Installed",
     [](Works *w, char *t, size_t s) {
       Print(t, s, "%s", (Cfg(w).TUNEenabled & ATU_NOT_INSTALLED) ? "No" : "Yes");
     },
     AtuInstalledStep, Save, Fields::Step, Repeat::Never, false},
    {30, "MAIN WINDOW", "Powers Unit",
     [](Works *w, char *t, size_t s) { Print(t, s, "%s", Cfg(w).PowerUnits ? "dBm" : "Watt"); },
     [](Works *w, int) { ToggleFlag(Cfg(w).PowerUnits); }, Save, Fields::Step, Repeat::Never,
     false},
    {31, "MAIN WINDOW", "Temperatures Unit",
     [](Works *w, char *t, size_t s) {
       Print(t, s, "%s", Cfg(w).TempMode ? "Fahrenheit" : "Celsius");
     },
     [](Works *w, int) { ToggleFlag(Cfg(w).TempMode); }, Save, Fields::Step, Repeat::Never, false},
    {40, "PLOT", "Ref Lev",
     [](Works *w, char *t, size_t s) { Print(t, s, "%ddBm", int(Cfg(w).RefLevelPlot)); },
     RefLevelStep, Save, Fields::Save, Repeat::Always, false},
    {41, "PLOT", "Ref Pos",
     [](Works *w, char *t, size_t s) { Print(t, s, "%d", int(Cfg(w).RefPosPlot)); },
     [](Works *w, int a) { Cfg(w).RefPosPlot = StepWithin(Cfg(w).RefPosPlot, Sign(a), 0, 10); },
     Save, Fields::Save, Repeat::Never, false},
    {42, "PLOT", "Point Div",
     [](Works *w, char *t, size_t s) { Print(t, s, "%d", int(Cfg(w).PointDivPlot)); }, PointDivStep,
     Save, Fields::Save, Repeat::Always, false},
    {43, "PLOT", "Offset",
     [](Works *w, char *t, size_t s) { Print(t, s, "%3.02fdBm", double(Cfg(w).OffsetPlot)); },
     OffsetStep, Save, Fields::Save, Repeat::Always, false},
    LAN_ROW(18, 50, "IP"),
    LAN_ROW(19, 51, "Subnet"),
    LAN_ROW(20, 52, "Gateway"),
    LAN_ROW(21, 53, "DNS"),
    {60, "TEMPERATURE", "P1 Alarm Set Point",
     [](Works *w, char *t, size_t s) { TemperatureText(t, s, Cfg(w).MaxTemperature); },
     [](Works *w, int a) { TemperatureStep(w, Cfg(w).MaxTemperature, a); }, Save, Fields::None,
     Repeat::NotEnter, false},
    {61, "TEMPERATURE", "P2 Alarm Set Point",
     [](Works *w, char *t, size_t s) { TemperatureText(t, s, Cfg(w).MaxTemperature2); },
     [](Works *w, int a) { TemperatureStep(w, Cfg(w).MaxTemperature2, a); }, Save, Fields::None,
     Repeat::NotEnter, false},
    {70, "FREQ", "Period",
     [](Works *w, char *t, size_t s) { Print(t, s, "%dms", int(Cfg(w).FreqPeriodTime)); },
     FreqPeriodStep, FreqPeriodEnter, Fields::None, Repeat::PlusMinus, false},
    {90, "SERVICE", "Factory Default",
     [](Works *w, char *t, size_t s) {
       Print(t, s, "%s", w->ui.factoryDefault ? "Set Default" : "No Default");
     },
     [](Works *w, int) { ToggleFlag(w->ui.factoryDefault); }, FactoryReset, Fields::Step,
     Repeat::Never, false},
    {91, "SERVICE", "Remote Service",
     [](Works *w, char *t, size_t s) { OnOff(t, s, CtrlBit(w, CTRL_REMOTE_SERVICE)); },
     [](Works *w, int) { ToggleCtrlBit(w, CTRL_REMOTE_SERVICE); }, StartRemoteService, Fields::Step,
     Repeat::Never, false},
    {92, "SERVICE", "Software Update (UI)",
     [](Works *w, char *t, size_t s) { OnOff(t, s, CtrlBit(w, CTRL_UI_UPDATE_REQUEST)); },
     [](Works *w, int) { ToggleCtrlBit(w, CTRL_UI_UPDATE_REQUEST); }, StartSoftwareUpdate,
     Fields::Step, Repeat::Never, false},
    {93, "SERVICE", "Firmware Update",
     [](Works *w, char *t, size_t s) { OnOff(t, s, CtrlBit(w, CTRL_FW_UPDATE_REQUEST)); },
     [](Works *w, int) { ToggleCtrlBit(w, CTRL_FW_UPDATE_REQUEST); }, FirmwareUpdateEnter,
     Fields::Step, Repeat::Never, false},
    {94, "SERVICE", "Turn Off Hardware",
     [](Works *w, char *t, size_t s) { OnOff(t, s, w->ui.turnOffHardware); },
     [](Works *w, int) { ToggleFlag(w->ui.turnOffHardware); }, TurnOffHardware, Fields::Step,
     Repeat::Never, false},
};
#undef LAN_ROW

bool Repeats(Repeat rule, int action) {
  switch (rule) {
    case Repeat::Always:
      return true;
    case Repeat::NotEnter:
      return action != MENU_ENTER;
    case Repeat::PlusMinus:
      return action == MENU_MINUS || action == MENU_PLUS;
    default:
      return false;
  }
}

void FieldKey(Works *works, const MenuRow &row, int action) {
  if (row.fields == Fields::Save)
    Save(works);
  else if (row.fields == Fields::Step)
    row.step(works, action);
}
}  // namespace

void FillMenuTable() {
  for (int i = 0; i < MENU_ROWS; i++) {
    const MenuRow &row = ROWS[i];
    MenuEntry &e = menuPar[i];
    e = MenuEntry{};
    e.id = row.id;
    snprintf(e.heading, sizeof e.heading, "%s", row.heading);
    snprintf(e.items[0].name, sizeof e.items[0].name, "%s", row.item);
    e.items[0].multiField = row.multiField ? 1 : 0;
    e.count = 1;
  }
}

void LoadParameterMenu(Works *works, char *text, size_t size, int index, int) {
  if (index < 0 || index >= MENU_ROWS) {
    Print(text, size, "%s", "");
    return;
  }
  ROWS[index].text(works, text, size);
}

bool LoadLanView(int index, LanView &view) {
  if (index < 18 || index > 21) return false;
  Address a = AddressOf(index);
  for (int i = 0; i < 4; i++) view.octets[i] = (*a.octets)[i];
  view.edited = *a.cursor;
  return true;
}

int EditMenuRow(Works *works, int index, int action) {
  if (index < 0 || index >= MENU_ROWS) return 0;
  const MenuRow &row = ROWS[index];
  switch (action) {
    case MENU_ENTER:
      row.enter(works);
      break;
    case MENU_MINUS:
    case MENU_PLUS:
      row.step(works, action);
      break;
    case MENU_PREVIOUS_FIELD:
    case MENU_NEXT_FIELD:
      FieldKey(works, row, action);
      break;
    default:
      return 0;
  }
  return Repeats(row.repeat, action) ? 1 : 0;
}
