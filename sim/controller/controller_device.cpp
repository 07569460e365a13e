#include "sim/controller/controller_device.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "sim/world/await.h"
#include "sim/world/json.h"
#include "transceiver/tavo_params.h"
#include "tuner/banks.h"
#include "tuner/tune_control.h"
#include "tuner/tune_word.h"
#include "ui/captions.h"
#include "ui/main_screen.h"
#include "ui/supply_voltage.h"

namespace {
constexpr int STATUS_PERIOD_MS = 500;

const char *TuneStateName(int tuneStatus) {
  switch (tuneStatus) {
    case 0:
      return "idle";
    case 1:
      return "tuning";
    default:
      return "tuning*";
  }
}

std::string BandName(Works *works) {
  AntennaRow row{};
  return AntennaRowOf(works, works->link.currentFreq, row) >= 0 ? std::string(row.Band) : "-";
}

// The long press of VIEW opens the pages, BACK closes them.
void ShowInfoPages(Works *works, bool on) {
  if (on) {
    OpenInfoPages(works);
  } else if (EscFromStatus(works)) {
    works->ui.uiState = 0;
  }
}

// What the front panel and the keyboard change in the unit.
void ReportPanelState(JsonWriter &json, Works *works) {
  InputState &in = works->input;
  json.Field("ctrlFlags", int(in.ctrlFlags)).Field("uiMessage", int(works->ui.uiMessage));
  json.Field("mainWindow", int(works->ui.mainWindow));
  json.Key("panelReply").BeginArray();
  for (const auto &reply : in.panelReply) json.Int(reply);
  json.EndArray();
  json.Field("ampSupplyVolts", double(CalvTensVadcAmp(works)));
}

// The screen the keys act on, its fields, and the captions of its page
// (key by key, both lines).
void ReportScreenState(JsonWriter &json, Works *works) {
  UiState &ui = works->ui;
  json.Field("NumBanco", int(works->cfg.NumBanco)).Field("manualMode", int(ui.manualMode));
  json.Field("tableRow", int(ui.tableRow)).Field("tableColumn", int(ui.tableColumn));
  json.Field("saveBank", int(ui.saveBank)).Field("saveAntenna", int(ui.saveAntenna));
  json.Field("copySource", int(ui.copySource)).Field("copyDest", int(ui.copyDest));
  json.Field("resetBank", int(ui.resetBank));
  json.Field("valL", int(works->tuner.valL)).Field("valC", int(works->tuner.valC));
  json.Field("autoAntFlags", int(works->tuner.autoAntFlags));
  ButtonPage page = CaptionPage(works, ui.uiState);
  json.Key("captions").BeginArray();
  for (const auto &key : page.text)
    for (const char *line : key) json.String(line);
  json.EndArray();
}

// The fields a scenario can wait for (`unit await FIELD N`).
struct AwaitedField {
  const char *name;
  int (*read)(Works *works);
};
const AwaitedField AWAITED_FIELDS[] = {
    {"uiState", [](Works *w) { return int(w->ui.uiState); }},
    {"tuneStatus", [](Works *w) { return int(w->tuner.tuneStatus); }},
    {"copySource", [](Works *w) { return int(w->ui.copySource); }},
    {"copyDest", [](Works *w) { return int(w->ui.copyDest); }},
    {"resetBank", [](Works *w) { return int(w->ui.resetBank); }},
    {"menuIndex", [](Works *w) { return int(w->ui.menuIndex); }},
    {"tableColumn", [](Works *w) { return int(w->ui.tableColumn); }},
    {"filterRow", [](Works *w) { return int(w->cfg.filterMenuRow); }},
};

std::string AwaitedFieldNames() {
  std::string names;
  for (const AwaitedField &f : AWAITED_FIELDS)
    names += (names.empty() ? "" : "|") + std::string(f.name);
  return names;
}

std::string ErrorCodes(Works *works) {
  std::string codes;
  for (int32_t code : GetErrList(works)) {
    if (!codes.empty()) codes += ',';
    codes += std::to_string(code);
  }
  return codes.empty() ? "none" : codes;
}

bool SelectBank(Works *works, const ScenarioEvent &ev, std::string &error) {
  long bank = -1;
  if (!ArgInt(ev, 0, bank, error)) return false;
  int banks = works->cfg.MAXbank;
  if (bank < 0 || bank >= banks) {
    error = StrPrintf("'%s': unit bank takes a bank 0..%d", ev.text.c_str(), banks - 1);
    return false;
  }
  SelectBanco(works, int(bank));
  return true;
}

// The remote link as the unit sees it at the end of the run.
void RemoteReport(Works *works, JsonWriter &json) {
  RemoteState &r = works->remote;
  std::string status(r.statusMsg, strnlen(r.statusMsg, sizeof r.statusMsg));
  json.Key("remote").BeginObject();
  json.Field("wsConnected", int(r.wsConnected)).Field("remoteFault", int(r.remoteFault));
  json.Field("enableCAT", std::string(1, ReadSetupFlag(works->cfg.setup->EnableCAT)));
  json.Field("statusMsg", status).EndObject();
}
}  // namespace

std::string StatusLine(Works *works) {
  return StrPrintf("%9.3f MHz  %-6s  ant %d  SWR %5.2f  fwd %6.1f W  tune %-7s  errors %s",
                   works->link.currentFreq / 1e6, BandName(works).c_str(),
                   int(works->tuner.antennaIdx) + 1, double(works->link.swr),
                   double(works->link.pwrFwd), TuneStateName(works->tuner.tuneStatus),
                   ErrorCodes(works).c_str());
}

bool ControllerDevice::AwaitField(Works *works, const ScenarioEvent &ev, std::string &error) {
  double seconds = AWAIT_DEFAULT_SECONDS;
  std::string text;
  if (!AwaitArgs(ev, text, seconds, error)) return false;
  char name[16];
  int value = 0;
  const AwaitedField *field = nullptr;
  if (sscanf(text.c_str(), "%15s %d", name, &value) == 2)
    for (const AwaitedField &f : AWAITED_FIELDS)
      if (strcmp(f.name, name) == 0) field = &f;
  if (!field) {
    error = "'" + ev.text + "': unit await takes " + AwaitedFieldNames() + " and a value";
    return false;
  }
  auto reached = [&] { return !works->core.running || field->read(works) == value; };
  if (AwaitUntil(reached, seconds, interrupted_) && works->core.running) return true;
  error = "'" + ev.text + "': not reached";
  return false;
}

bool ControllerDevice::Start(std::string &) {
  stop_ = false;
  return true;
}

void ControllerDevice::Stop() {
  stop_ = true;
  if (status_.joinable()) status_.join();
}

void ControllerDevice::AttachController(Works *works) {
  if (!works) {
    Stop();
    works_ = nullptr;
    return;
  }
  works_ = works;
  // The status line is for a person watching an interactive run.
  if (!context_.headless && isatty(STDOUT_FILENO))
    status_ = std::thread(&ControllerDevice::ShowStatus, this);
}

void ControllerDevice::ShowStatus() {
  while (!stop_) {
    if (Works *works = works_.load()) {
      printf("\r%s\033[K", StatusLine(works).c_str());
      fflush(stdout);
    }
    usleep(STATUS_PERIOD_MS * 1000);
  }
  printf("\n");
}

bool ControllerDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  Works *works = works_.load();
  if (!works) {
    error = "'" + ev.text + "': the controller is not running";
    return false;
  }
  if (ev.verb == "tune") {  // the TUNE key: complete, or fine with "unit tune fine"
    works->tuner.fineTune = (!ev.args.empty() && ev.args[0] == "fine") ? 1 : 0;
    GoTune(works);
  } else if (ev.verb == "error-key") {
    GPIO_Errori(works);
  } else if (ev.verb == "bank") {  // the memory bank N, as the bank key would choose it
    return SelectBank(works, ev, error);
  } else if (ev.verb == "autotune") {
    bool on = !ev.args.empty() && ev.args[0] == "on";
    if (on)
      works->cfg.AutoTuneMode.fetch_or(1);
    else
      works->cfg.AutoTuneMode.fetch_and(static_cast<uint8_t>(~1));
  } else if (ev.verb == "view") {  // what the VIEW key's presses lead to
    long mode = 0;
    if (!ArgInt(ev, 0, mode, error)) return false;
    SelectMainWindow(works, int(mode));
  } else if (ev.verb == "await") {
    return AwaitField(works, ev, error);
  } else if (ev.verb == "info" && ev.args.size() == 1 &&
             (ev.args[0] == "on" || ev.args[0] == "off")) {
    ShowInfoPages(works, ev.args[0] == "on");
  } else {
    error = "'" + ev.text +
            "': unit verbs are tune [fine], error-key, bank N, autotune on|off, view 1..5, "
            "info on|off, await " +
            AwaitedFieldNames() + " N";
    return false;
  }
  return true;
}

void ControllerDevice::Report(JsonWriter &json) {
  Works *works = works_.load();
  json.BeginObject();
  if (!works) {
    json.EndObject();
    return;
  }
  LinkState &l = works->link;
  TunerState &t = works->tuner;
  json.Field("version", works->core.version);
  json.Field("initDone", int(works->core.initDone));
  json.Field("currentFreq", unsigned(l.currentFreq));
  json.Field("modeWorkIdx", int(t.modeWorkIdx));
  json.Field("antennaIdx", int(t.antennaIdx));
  json.Field("filterMask", int(works->cfg.filterMask));
  json.Key("thresholds").BeginArray();
  for (const auto &ts : works->cfg.sogliaTS) json.Int(ts);
  json.EndArray();
  uint32_t word = t.tuneVal;
  json.Key("tuneVal").BeginObject().Field("word", unsigned(word));
  json.Field("L", DecodeInduttanzaFromTuneval(word)).Field("C", DecodeCapacitaFromTuneval(word));
  json.Field("mode", DecodeModoFromTuneval(word)).EndObject();
  json.Field("tuneStatus", int(t.tuneStatus));
  json.Field("swrFinale", double(t.swrFinale));
  json.Key("errors").BeginArray();
  for (int32_t code : GetErrList(works)) json.Int(code);
  json.EndArray();
  json.Key("link").BeginObject().Field("polls", int(l.statusPolls));
  json.Field("retries", int(l.retryTotal)).Field("retryStops", int(l.retryStops)).EndObject();
  TavoParamsRecord params{};
  getParameters(&params, works);
  json.Field("tavoFreq", int(params.word[tavo::freq]));
  json.Field("tavoTx", int(works->core.tavoTx));
  json.Field("catFreq", int(works->trx.catFreq));
  json.Field("pwrFwd", double(l.pwrFwd)).Field("pwrRefl", double(l.pwrRefl));
  json.Field("swr", double(l.swr));
  json.Field("uiFlags", int(works->ui.uiFlags)).Field("uiState", int(works->ui.uiState));
  ReportPanelState(json, works);
  ReportScreenState(json, works);
  json.Field("status", StatusLine(works));
  RemoteReport(works, json);
  json.EndObject();
}
