#include "sim/panel/panel_device.h"

#include "core/clock.h"
#include "input/panel_keys.h"
#include "sim/world/json.h"

namespace {
constexpr double DEFAULT_PRESS_SECONDS = 0.1;
constexpr long MAX_GLITCHES = 1000;

bool KeyArg(const ScenarioEvent &ev, long &key, std::string &error) {
  if (!ArgInt(ev, 0, key, error)) return false;
  return key >= 1 && key <= 6 ? true : RefuseEvent(ev, "the keys are 1 to 6", error);
}

// `panel supply 12|15|amp VOLTS`: the supply class the controller measures.
bool SupplyClass(const std::string &name, int &cls) {
  cls = name == "12" ? 1 : name == "15" ? 2 : name == "amp" ? 3 : 0;
  return cls != 0;
}
}  // namespace

PanelDevice::PanelDevice(const SimContext &context)
    : context_(context), world_(context.world ? context.world : &ownWorld_) {}

double PanelDevice::Now() const { return (MonotonicMicros() - startMicros_) / 1e6; }

bool PanelDevice::Start(std::string &) {
  Stop();
  startMicros_ = MonotonicMicros();
  model_.WithController([this](PanelController &c) {
    c.Reset();
    c.SetNow([this] { return Now(); });
    c.SetAmpPowerClass([this] { return world_->AmpPowerClass(); });
  });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    keyEvents_.clear();
  }
  WatchPanelKeys([this](int key, int holdMask, int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    keyEvents_.push_back({Now(), key, holdMask, result});
  });
  UseSimulatedGpio(&model_);
  actions_.Start();
  started_ = true;
  return true;
}

void PanelDevice::Stop() {
  if (!started_) return;
  started_ = false;
  actions_.Stop();
  UseSimulatedGpio(nullptr);
  WatchPanelKeys(nullptr);
}

bool PanelDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  const std::string &v = ev.verb;
  if (v == "press" || v == "down" || v == "up" || v == "bounce") return ApplyKey(ev, error);
  return ApplyController(ev, error);
}

bool PanelDevice::ApplyKey(const ScenarioEvent &ev, std::string &error) {
  long key = 0;
  if (!KeyArg(ev, key, error)) return false;
  const std::string &v = ev.verb;
  if (v == "bounce") {
    long glitches = 0;
    if (!ArgInt(ev, 1, glitches, error)) return false;
    if (glitches < 1 || glitches > MAX_GLITCHES)
      return RefuseEvent(ev, "1 to 1000 glitches", error);
    model_.Bounce(int(key), int(glitches));
    return true;
  }
  double seconds = DEFAULT_PRESS_SECONDS;
  if (v == "press" && ev.args.size() > 1 && !ArgDouble(ev, 1, seconds, error)) return false;
  model_.SetKey(int(key), v != "up");
  if (v == "press") actions_.After(seconds, [this, key] { model_.SetKey(int(key), false); });
  return true;
}

bool PanelDevice::ApplyController(const ScenarioEvent &ev, std::string &error) {
  const std::string &v = ev.verb;
  if (v == "supply") {
    int cls = 0;
    double volts = 0;
    if (ev.args.empty() || !SupplyClass(ev.args[0], cls))
      return RefuseEvent(ev, "the supplies are 12, 15 and amp", error);
    if (!ArgDouble(ev, 1, volts, error)) return false;
    model_.WithController([&](PanelController &c) { c.SetSupply(cls, volts); });
    return true;
  }
  if (v == "reply") {
    long cls = 0;
    if (!ArgInt(ev, 0, cls, error)) return false;
    if (cls < 0 || cls > 3) return RefuseEvent(ev, "the classes are 0 to 3", error);
    return ApplyRawReply(ev, 1, int(cls), error);
  }
  if (v == "version") return ApplyRawReply(ev, 0, 0, error);
  if (v == "absent" && !ev.args.empty() && (ev.args[0] == "on" || ev.args[0] == "off")) {
    bool on = ev.args[0] == "on";
    model_.WithController([&](PanelController &c) { c.SetAbsent(on); });
    return true;
  }
  return RefuseEvent(ev,
                     "panel takes press K [SECONDS], down K, up K, bounce K N, supply 12|15|amp "
                     "VOLTS, reply CLASS COUNT, version N, absent on|off",
                     error);
}

// The reply byte of class `cls`, from argument `at`.
bool PanelDevice::ApplyRawReply(const ScenarioEvent &ev, size_t at, int cls, std::string &error) {
  long count = 0;
  if (!ArgInt(ev, at, count, error)) return false;
  if (count < 0 || count > 255) return RefuseEvent(ev, "a reply is one byte", error);
  model_.WithController([&](PanelController &c) { c.SetRawReply(cls, uint8_t(count)); });
  return true;
}

std::vector<PanelDevice::KeyEvent> PanelDevice::KeyEvents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return keyEvents_;
}

std::string PanelDevice::KeyLevels() const {
  uint32_t levels = model_.View().levels;
  std::string keys;
  for (int line = 22; line < 28; line++) keys += (levels >> line) & 1 ? '1' : '0';
  return keys;
}

void PanelDevice::Report(JsonWriter &json) {
  json.BeginObject();
  model_.WithController([&](PanelController &c) {
    json.Key("commands").BeginArray();
    for (const PanelCommand &cmd : c.Commands())
      json.BeginObject().Field("t", cmd.t).Field("byte", int(cmd.byte)).EndObject();
    json.EndArray();
    json.Field("framingErrors", c.FramingErrors()).Field("absent", c.Absent());
    json.Key("replies").BeginArray();
    for (int cls = 0; cls < 4; cls++) json.Int(c.Reply(cls));
    json.EndArray();
  });
  GpioView view = model_.View();
  for (int i = 0; i < 2; i++) {
    json.Key(i == 0 ? "line13" : "line16").BeginObject();
    json.Field("level", int(view.level[i])).Field("changes", view.changes[i]).EndObject();
  }
  json.Key("pullUps").BeginArray();
  for (int line = 0; line < 32; line++)
    if (view.unitPullUps & (1u << line)) json.Int(line);
  json.EndArray();
  json.Field("fselPreserved", view.functionsPreserved);
  json.Key("foreignLines").BeginArray();
  for (int line = 0; line < 32; line++)
    if (view.foreignLines & (1u << line)) json.Int(line);
  json.EndArray();
  json.Field("keyLevels", KeyLevels());
  json.Key("keyEvents").BeginArray();
  for (const KeyEvent &e : KeyEvents()) {
    json.BeginObject().Field("t", e.t).Field("key", e.key).Field("hold", e.holdMask);
    json.Field("repeat", e.result).EndObject();
  }
  json.EndArray();
  json.EndObject();
}
