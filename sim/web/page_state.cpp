#include "sim/web/page_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "amplifier/errors.h"
#include "core/works.h"
#include "sim/amplifier/amp_device.h"
#include "sim/ft817/ft817.h"
#include "sim/transceiver/transceiver.h"
#include "sim/world/json.h"
#include "sim/world/world.h"
#include "tuner/tune_word.h"
#include "ui/status_area.h"

namespace {
std::string Trimmed(const std::string &text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

const char *TuneState(int tuneStatus) { return tuneStatus == 0 ? "idle" : "tuning"; }

void WriteErrors(JsonWriter &json, Works *works) {
  json.Key("errors").BeginArray();
  for (int32_t code : GetErrList(works)) {
    json.BeginObject().Field("code", int(code));
    if (code >= 0 && code < ERROR_CODES) {
      std::lock_guard<std::mutex> lock(works->errors.errMutex);
      const ErrorDescr &d = works->errors.errDescr[code];
      json.Field("text", Trimmed(std::string(d.line1, strnlen(d.line1, sizeof d.line1))));
    }
    json.EndObject();
  }
  json.EndArray();
}

void WriteTuner(JsonWriter &json, Works *works) {
  uint32_t word = works->tuner.tuneVal;
  json.Key("tuner").BeginObject();
  json.Field("L", DecodeInduttanzaFromTuneval(word)).Field("C", DecodeCapacitaFromTuneval(word));
  json.Field("network", NetworkName(DecodeModoFromTuneval(word)));
  json.Field("state", TuneState(works->tuner.tuneStatus));
  json.Field("lastSwr", double(works->tuner.swrFinale)).EndObject();
}

void WriteRadios(JsonWriter &json, const PageSources &s) {
  if (s.trx) {
    TrxState t = s.trx->State();
    json.Key("trx").BeginObject().Field("wired", s.trx->Wired());
    json.Field("freq", unsigned(t.OperatingFreq())).Field("mode", t.vfoB ? t.modeB : t.modeA);
    json.Field("tx", t.tx).Field("drive", t.driveW).EndObject();
  }
  if (s.ft817) {
    Ft817Sim::Setting dial = s.ft817->Dial();
    json.Key("ft817").BeginObject().Field("wired", s.ft817->Wired());
    json.Field("freq", unsigned(dial.freqHz)).Field("mode", int(dial.mode));
    json.EndObject();
  }
}
}  // namespace

std::array<std::vector<std::string>, 6> KeyCaptions(const std::vector<ScreenText> &texts) {
  // Per key, the lines by their baseline; texts on one line joined left to right.
  std::array<std::map<int, std::map<int, std::string>>, 6> lines;
  for (const ScreenText &t : texts) {
    if (t.y < CAPTION_TOP || t.x < 0) continue;
    std::string text = Trimmed(t.text);
    if (text.empty()) continue;
    size_t key = std::min<size_t>(5, size_t(t.x / CAPTION_KEY_WIDTH));
    std::string &at = lines[key][t.y][t.x];
    at += at.empty() ? text : " " + text;
  }
  std::array<std::vector<std::string>, 6> captions;
  for (size_t key = 0; key < 6; key++) {
    for (const auto &[y, parts] : lines[key]) {
      std::string line;
      for (const auto &[x, text] : parts) line += (line.empty() ? "" : " ") + text;
      captions[key].push_back(line);
    }
  }
  return captions;
}

void WriteKeyCaptions(JsonWriter &json, const std::vector<ScreenText> &texts) {
  json.BeginArray();
  for (const auto &lines : KeyCaptions(texts)) {
    json.BeginArray();
    for (const std::string &line : lines) json.String(line);
    json.EndArray();
  }
  json.EndArray();
}

void WriteReadouts(JsonWriter &json, Works *works) {
  LinkState &l = works->link;
  json.BeginObject();
  json.Field("freq", unsigned(l.currentFreq)).Field("antenna", int(works->tuner.antennaIdx) + 1);
  json.Field("forward", double(l.pwrFwd)).Field("reflected", double(l.pwrRefl));
  json.Field("input", double(l.pwrIn)).Field("swr", double(l.swr));
  json.Key("temperatures").BeginArray().Number(l.temp1).Number(l.temp2).EndArray();
  json.Field("cpuTemp", double(works->thermal.cpuTemp1));
  json.Field("fan", int(works->thermal.fanLevel));
  WriteTuner(json, works);
  WriteErrors(json, works);
  json.Field("mainWindow", int(works->ui.mainWindow)).Field("uiState", int(works->ui.uiState));
  json.Field("polls", int(l.statusPolls));
  json.EndObject();
}

void WriteLinkCommands(JsonWriter &json, const AmpDevice &amp) {
  json.BeginArray();
  for (const ReceivedFrame &f : amp.RecentCommands(PAGE_RECENT_COMMANDS))
    json.BeginObject().Field("t", f.t).Field("text", f.text).EndObject();
  json.EndArray();
}

void WriteWorld(JsonWriter &json, const PageSources &s) {
  json.BeginObject();
  WriteRadios(json, s);
  if (s.world) {
    RfSource rf = s.world->Rf();
    json.Key("radio")
        .BeginObject()
        .Field("freq", std::llround(rf.freqHz))
        .Field("drive", rf.driveW);
    json.Field("on", rf.on).EndObject();
    json.Key("loads").BeginArray();
    for (int antenna = 0; antenna < 3; antenna++) {
      AntennaLoad load = s.world->Load(antenna);
      json.BeginObject().Field("r", load.r).Field("x", load.x);
      json.Field("scale", load.scaleWithFreq).EndObject();
    }
    json.EndArray();
  }
  json.EndObject();
}
