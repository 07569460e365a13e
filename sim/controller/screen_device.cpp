#include "sim/controller/screen_device.h"

#include "core/clock.h"
#include "core/works.h"
#include "display/png_write.h"
#include "sim/world/json.h"

namespace {
constexpr double AWAIT_DEFAULT_S = 60;
constexpr int AWAIT_POLL_MS = 20;
}  // namespace

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

bool ScreenDevice::Await(Works *works, const ScenarioEvent &ev, std::string &error) {
  double seconds = AWAIT_DEFAULT_S;
  size_t words = ev.args.size();
  if (words >= 3 && ev.args[words - 2] == "within") {
    if (!ArgDouble(ev, words - 1, seconds, error)) return false;
    words -= 2;
  }
  std::string text;
  for (size_t i = 0; i < words; i++) text += (i ? " " : "") + ev.args[i];
  auto shown = [&] {
    for (const ScreenText &t : ShownScreenTexts())
      if (t.text == text) return true;
    return false;
  };
  int64_t end = MonotonicMicros() + int64_t(seconds * 1e6);
  while (!shown()) {
    if (interrupted_ || !works->core.running || MonotonicMicros() > end) {
      error = "'" + ev.text + "': not shown";
      return false;
    }
    SleepMillis(AWAIT_POLL_MS);
  }
  return true;
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
