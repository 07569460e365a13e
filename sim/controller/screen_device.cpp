#include "sim/controller/screen_device.h"

#include "core/works.h"
#include "display/png_write.h"
#include "sim/world/await.h"
#include "sim/world/json.h"

ScreenDevice::ScreenDevice(const SimContext &context) : root_(context.root) { RecordScreenTexts(); }

ScreenDevice::~ScreenDevice() { StopRecordingScreenTexts(); }

bool ScreenDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  Works *works = works_.load();
  if (!works) {
    error = "'" + ev.text + "': the controller is not running";
    return false;
  }
  if (ev.verb == "snapshot" && ev.args.size() == 1) return Snap(works, ev, error);
  if (ev.verb == "await" && !ev.args.empty()) return Await(works, ev, error);
  error = "'" + ev.text + "': screen verbs are snapshot FILE, await TEXT [within SECONDS]";
  return false;
}

bool ScreenDevice::Snap(Works *works, const ScenarioEvent &ev, std::string &error) {
  const std::string &name = ev.args[0];
  Snapshot s{ev.t, name[0] == '/' ? name : root_ + "/" + name, {}, {}};
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

namespace {
// Captions are padded with blanks to sit centred; the padding is not read.
std::string WithoutOuterBlanks(const std::string &text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}
}  // namespace

bool ScreenDevice::Await(Works *works, const ScenarioEvent &ev, std::string &error) {
  double seconds = AWAIT_DEFAULT_SECONDS;
  std::string text;
  if (!AwaitArgs(ev, text, seconds, error)) return false;
  auto shown = [&] {
    if (!works->core.running) return true;
    for (const ScreenText &t : ShownScreenTexts())
      if (WithoutOuterBlanks(t.text) == text) return true;
    return false;
  };
  if (AwaitUntil(shown, seconds, interrupted_) && works->core.running) return true;
  error = "'" + ev.text + "': not shown";
  return false;
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
