#include "sim/controller/screen_device.h"

#include "core/works.h"
#include "display/png_write.h"
#include "sim/world/json.h"

ScreenDevice::ScreenDevice() { RecordScreenTexts(); }

ScreenDevice::~ScreenDevice() { StopRecordingScreenTexts(); }

bool ScreenDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  if (ev.verb != "snapshot" || ev.args.size() != 1) {
    error = "'" + ev.text + "': screen verbs are snapshot FILE";
    return false;
  }
  Works *works = works_.load();
  if (!works) {
    error = "'" + ev.text + "': the controller is not running";
    return false;
  }
  Snapshot s{ev.t, ev.args[0], {}, {}};
  {
    // The picture and its texts of the same frame.
    std::lock_guard<std::recursive_mutex> draw(works->display.drawMutex);
    SaveScreenPng(works, s.file, s.error);
    s.texts = ShownScreenTexts();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  snapshots_.push_back(s);
  if (!s.error.empty()) error = "'" + ev.text + "': " + s.error;
  return s.error.empty();
}

void ScreenDevice::UnitStopping() {
  std::lock_guard<std::mutex> lock(mutex_);
  lastTexts_ = ShownScreenTexts();
  stopped_ = true;
}

void ScreenDevice::Report(JsonWriter &json) {
  std::lock_guard<std::mutex> lock(mutex_);
  json.BeginObject();
  json.Key("snapshots").BeginArray();
  for (const Snapshot &s : snapshots_) {
    json.BeginObject().Field("t", s.t).Field("file", s.file);
    if (!s.error.empty()) json.Field("error", s.error);
    json.Key("texts");
    WriteScreenTexts(json, s.texts);
    json.EndObject();
  }
  json.EndArray();
  json.Key("texts");
  WriteScreenTexts(json, stopped_ ? lastTexts_ : ShownScreenTexts());
  json.EndObject();
}
