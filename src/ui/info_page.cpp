#include "ui/info_page.h"

#include <cstring>
#include <mutex>
#include <string>

#include "amplifier/errors.h"
#include "core/works.h"
#include "network/lan_settings.h"
#include "settings/setup_record.h"
#include "transceiver/tavo_params.h"
#include "tuner/tune_control.h"
#include "ui/conversions.h"
#include "ui/supply_voltage.h"
#include "ui/ui_text.h"

namespace {
constexpr int SLOT = 8, LABEL_X = 5, VALUE_X = 180;

void Row(Works *works, int y, const char *label) {
  DrawText(works, SLOT, LABEL_X, y, WHITE, "%s", label);
}

// Printable characters of a configuration page from `at` up to the next
// terminator; `at` moves past the terminators that follow.
std::string TextAt(const uint8_t *page, int &at) {
  std::string text;
  for (; at < CONFIG_PAGE_LEN && page[at] >= 0x20 && page[at] < 0x7F; at++) text += char(page[at]);
  while (at < CONFIG_PAGE_LEN && (page[at] < 0x20 || page[at] >= 0x7F)) at++;
  return text;
}

const char *Choice(uint8_t digit, const char *zero, const char *one) {
  return digit == '0' ? zero : digit == '1' ? one : "";
}

void DrawVersions(Works *works) {
  LinkState &l = works->link;
  std::string firmware, serial, following;
  {
    std::lock_guard<std::mutex> lock(l.textMutex);
    firmware.assign(l.firmwareVersion, strnlen(l.firmwareVersion, sizeof l.firmwareVersion));
    int at = 0;
    serial = TextAt(l.configPage[0], at);
    following = TextAt(l.configPage[0], at);
  }
  Row(works, 110, "VERSION");
  DrawText(works, SLOT, VALUE_X, 110, WHITE, "SW ver. %s, FW ver. %s", works->core.version,
           firmware.c_str());
  Row(works, 132, "SN");
  DrawText(works, SLOT, VALUE_X, 132, WHITE, "%s (%s), TYPE: %s, MAXPOWER: %s", serial.c_str(),
           following.c_str(), Choice(l.ampConfig[0], "EU", "USA"),
           Choice(l.ampConfig[1], "60W", "120W"));
}

void DrawReadings(Works *works, const TavoParamsRecord &params) {
  LinkState &l = works->link;
  Row(works, 154, "POWER");
  DrawText(works, SLOT, VALUE_X, 154, WHITE, "FWD:%02.01f, RFL:%02.01f , PW:%02.01f, SWR:%02.01f",
           double(l.pwrFwd), double(l.pwrRefl), double(l.pwrIn), double(l.swr));
  bool extIo = ReadSetupFlag(works->cfg.setup->extIoRun) == '1';
  long freq = extIo ? long(l.currentFreq) : long(l.measuredFreq);
  Row(works, 176, "FREQUENCY");
  DrawText(works, SLOT, VALUE_X, 176, WHITE, "%ldHz(%ld)", freq, long(params.word[tavo::freqMem]));
}

void DrawTemperatures(Works *works) {
  LinkState &l = works->link;
  ThermalState &th = works->thermal;
  bool fahrenheit = works->cfg.TempMode == 1;
  auto t = [fahrenheit](float c) {
    return double(fahrenheit ? ConversionCelsius_to_Fahrenheit(c) : c);
  };
  float raw = l.currentRaw;
  Row(works, 198, "TEMPERATURE");
  DrawText(works, SLOT, VALUE_X, 198, WHITE,
           fahrenheit ? "Current:%05.01fA (%05.01f), Tbrd:%04.02f°F, Thsk:%04.02f°F"
                      : "Current:%05.01fA (%05.01f), Tbrd:%04.02f°C, Thsk:%04.02f°C",
           double(PaCurrentAmps(raw)), double(raw), t(l.temp1), t(l.temp2));
  DrawText(works, SLOT, VALUE_X, 220, WHITE,
           fahrenheit ? "CPU:%4.01f°F, GPU:%4.01f°F" : "CPU:%2.01f°C, GPU:%2.01f°C", t(th.cpuTemp1),
           t(th.cpuTemp2));
  DrawText(
      works, SLOT, VALUE_X, 242, WHITE,
      fahrenheit ? "Set Point Alarm %4.01f°F, FAN: %i%%" : "Set Point Alarm %04.02f°C, FAN: %i%%",
      t(works->cfg.MaxTemperature), int(th.fanLevel));
}

// The addresses as read at start-up.
void DrawNetwork(Works *works) {
  Row(works, 264, "LAN");
  DrawText(works, SLOT, VALUE_X, 264, WHITE, "IP:%s, NetMask:%s ", IP, NetMask);
  DrawText(works, SLOT, VALUE_X, 286, WHITE, "Gateway:%s, DNS:%s ", Gateway, DNS);
}

void DrawLinkState(Works *works) {
  LinkState &l = works->link;
  Row(works, 308, "STATUS");
  DrawText(works, SLOT, VALUE_X, 308, WHITE, "State 0x%02x 0x%02x,ES:%d,ER:%d", unsigned(l.statusA),
           unsigned(l.statusB), int(l.retryTotal), int(l.retryStops));
  DrawText(works, SLOT, VALUE_X, 330, WHITE, "%s",
           ExistError(works, ERR_TAVO_EXTIO) ? "No EXT IO data" : "EXT IO connected");
  auto &panel = works->input.panelReply;
  Row(works, 352, "AMPL");
  DrawText(works, SLOT, VALUE_X, 352, WHITE,
           "ver. %x, V12: %02.01fV, V15: %02.01fV, Vamp: %02.01fV", unsigned(panel[0]),
           double(SupplyCountVolts(works, panel[1])), double(SupplyCountVolts(works, panel[2])),
           double(SupplyCountVolts(works, panel[3])));
}
}  // namespace

void KeepInfoPageLink(Works *works) {
  if (!(works->ui.uiFlags & UI_INFO_PAGES)) return;
  if (ReadSetupFlag(works->cfg.setup->extIoRun) == '0') StartExtIoLink(works);
}

void ViewStatusInfo(Works *works, const TavoParamsRecord &params) {
  if (!(works->ui.uiFlags & UI_INFO_PAGES) || !works->display.fb) return;
  DrawVersions(works);
  DrawReadings(works, params);
  DrawTemperatures(works);
  DrawNetwork(works);
  DrawLinkState(works);
  if (works->ui.uiState == UI_STATE_INFO)
    DrawText(works, SLOT, 300, 400, WHITE, "%s", works->ui.dateTime);
}
