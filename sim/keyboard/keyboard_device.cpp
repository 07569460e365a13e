#include "sim/keyboard/keyboard_device.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/clock.h"
#include "sim/world/json.h"

namespace {
constexpr double REPEAT_SECONDS = 0.033;  // a keyboard's auto-repeat rate
constexpr double MAX_HOLD_SECONDS = 600;
constexpr int KEY_RELEASED = 0, KEY_PRESSED = 1, KEY_REPEATED = 2;

struct KeyName {
  const char *name;
  int code;
};
const KeyName KEY_NAMES[] = {
    {"F10", KEY_F10}, {"F11", KEY_F11}, {"F12", KEY_F12}, {"SYSRQ", KEY_SYSRQ}};

// F10, F11, F12, SYSRQ or a key code.
bool KeyCode(const ScenarioEvent &ev, int &code, std::string &error) {
  if (ev.args.empty()) return RefuseEvent(ev, "which key?", error);
  for (const KeyName &k : KEY_NAMES) {
    if (ev.args[0] != k.name) continue;
    code = k.code;
    return true;
  }
  long n = 0;
  if (!ArgInt(ev, 0, n, error)) return false;
  if (n < 1 || n > KEY_MAX) return RefuseEvent(ev, "no such key code", error);
  code = int(n);
  return true;
}

input_event Event(uint16_t type, uint16_t code, int32_t value) {
  input_event ev{};
  timeval now{};
  gettimeofday(&now, nullptr);
  ev.input_event_sec = now.tv_sec;
  ev.input_event_usec = now.tv_usec;
  ev.type = type;
  ev.code = code;
  ev.value = value;
  return ev;
}
}  // namespace

std::string KeyboardDevice::Path() const {
  return context_.root + "/dev/input/by-id/sim-event-kbd";
}

double KeyboardDevice::Now() const { return (MonotonicMicros() - startMicros_) / 1e6; }

bool KeyboardDevice::Start(std::string &error) {
  Stop();
  startMicros_ = int64_t(DeviceEpoch(context_, MonotonicMicros() / 1e6) * 1e6);
  if (!Plug(error)) return false;
  actions_.Start();
  return true;
}

void KeyboardDevice::Stop() {
  actions_.Stop();
  Unplug();
}

bool KeyboardDevice::Plug(std::string &error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ >= 0) return true;
  std::string path = Path();
  unlink(path.c_str());
  if (mkfifo(path.c_str(), 0660) != 0) {
    error = "cannot make " + path + ": " + strerror(errno);
    return false;
  }
  // Read and write: the FIFO keeps a writer, and opening it never waits.
  fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) error = "cannot open " + path + ": " + strerror(errno);
  return fd_ >= 0;
}

void KeyboardDevice::Unplug() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0) return;
  close(fd_);
  fd_ = -1;
  unlink(Path().c_str());
}

void KeyboardDevice::SendKey(int code, int value) {
  const input_event events[] = {Event(EV_MSC, MSC_SCAN, code), Event(EV_KEY, uint16_t(code), value),
                                Event(EV_SYN, SYN_REPORT, 0)};
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0) return;
  // One write below PIPE_BUF: the events arrive whole and together.
  if (write(fd_, events, sizeof events) == ssize_t(sizeof events))
    written_.push_back({Now(), code, value});
}

bool KeyboardDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  const std::string &v = ev.verb;
  int code = 0;
  double seconds = 0;
  if (v == "press") {
    if (!KeyCode(ev, code, error)) return false;
    SendKey(code, KEY_PRESSED);
    SendKey(code, KEY_RELEASED);
  } else if (v == "hold") {
    if (!KeyCode(ev, code, error) || !ArgDouble(ev, 1, seconds, error)) return false;
    if (seconds < 0 || seconds > MAX_HOLD_SECONDS)
      return RefuseEvent(ev, "0 to 600 seconds", error);
    SendKey(code, KEY_PRESSED);
    for (double t = REPEAT_SECONDS; t < seconds; t += REPEAT_SECONDS)
      actions_.After(t, [this, code] { SendKey(code, KEY_REPEATED); });
    actions_.After(seconds, [this, code] { SendKey(code, KEY_RELEASED); });
  } else if (v == "unplug") {
    Unplug();
  } else if (v == "plug") {
    return Plug(error);
  } else {
    return RefuseEvent(ev, "keyboard takes press KEY, hold KEY SECONDS, unplug, plug", error);
  }
  return true;
}

void KeyboardDevice::Report(JsonWriter &json) {
  std::lock_guard<std::mutex> lock(mutex_);
  json.BeginObject().Field("path", Path()).Field("plugged", fd_ >= 0);
  json.Key("written").BeginArray();
  for (const Written &w : written_)
    json.BeginObject().Field("t", w.t).Field("code", w.code).Field("value", w.value).EndObject();
  json.EndArray();
  json.EndObject();
}
