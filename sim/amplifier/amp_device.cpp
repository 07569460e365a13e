#include "sim/amplifier/amp_device.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "amplifier/framing.h"
#include "core/clock.h"
#include "platform/paths.h"
#include "sim/world/await.h"
#include "sim/world/json.h"
#include "sim/world/world_events.h"

namespace {
constexpr int64_t PROCESSING_MICROS = 500;  // the firmware's time to act on a command
constexpr int POLL_MS = 20;
constexpr int64_t SPLIT_PAUSE_MICROS = 30000;
constexpr double BOOT_SECONDS = 0.3;  // deaf while restarting
constexpr size_t MAX_RECORDED = 200000;
constexpr long MAX_GARBAGE = 4096;

// Line noise: every byte value but ';', so that it sticks to the next reply.
std::string Garbage(long count) {
  std::string bytes;
  uint32_t x = 0x2545F491;
  for (long i = 0; i < count; i++) {
    x = x * 1664525 + 1013904223;
    char c = static_cast<char>(x >> 24);
    bytes += c == ';' ? '?' : c;
  }
  return bytes;
}

// A count argument that defaults to 1.
bool CountArg(const ScenarioEvent &ev, long &count, std::string &error) {
  count = 1;
  if (ev.args.empty()) return true;
  if (!ArgInt(ev, 0, count, error)) return false;
  if (count < 0) {
    error = "'" + ev.text + "': the count cannot be negative";
    return false;
  }
  return true;
}

bool Fail(const ScenarioEvent &ev, const std::string &why, std::string &error) {
  error = "'" + ev.text + "': " + why;
  return false;
}
}  // namespace

AmpDevice::AmpDevice(const SimContext &context)
    : context_(context), world_(context.world ? context.world : &ownWorld_) {}

AmpDevice::~AmpDevice() { Stop(); }

std::string AmpDevice::PortPath() const { return PathsUnder(context_.root).Device("/dev/ttyAMA0"); }

double AmpDevice::Now() const { return (MonotonicMicros() - startMicros_) / 1e6; }

bool AmpDevice::Start(std::string &error) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    firmware_.Model().SetCalibration(LoadCalibrationFile(PathsUnder(context_.root).configFile));
    startMicros_ = int64_t(DeviceEpoch(context_, MonotonicMicros() / 1e6) * 1e6);
    modelTime_ = 0;
  }
  if (!port_.Open(PortPath(), error)) return false;
  stop_ = false;
  thread_ = std::thread(&AmpDevice::Run, this);
  return true;
}

void AmpDevice::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  port_.Close();
}

void AmpDevice::CatchUp() {
  AmpModel &m = firmware_.Model();
  m.SetRf(world_->Rf());
  for (int i = 0; i < 3; i++) m.SetLoad(i, world_->Load(i));
  double now = Now();
  m.Advance(now - modelTime_);
  modelTime_ = now;
}

void AmpDevice::Run() {
  std::string bytes;
  while (!stop_) {
    uint8_t buf[256];
    int n = port_.Read(buf, sizeof buf, POLL_MS);
    bytes.assign(reinterpret_cast<const char *>(buf), n > 0 ? n : 0);
    std::string garbage;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      CatchUp();
      garbage.swap(faults_.garbage);
    }
    if (!garbage.empty()) port_.Write(garbage, context_.pacing);
    for (char c : bytes) {
      std::string frame;
      bool split = false;
      std::string reply;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!splitter_.Push(c, frame)) continue;
        reply = Answer(frame);
        split = !reply.empty() && faults_.splitReplies > 0;
        if (split) faults_.splitReplies--;
      }
      if (!reply.empty()) Send(reply, split);
    }
  }
}

std::string AmpDevice::Answer(const std::string &frame) {
  double now = Now();
  if (received_.size() < MAX_RECORDED) {
    size_t digits = frame.size() < 2 ? frame.size() : 2;
    received_.push_back({now, frame.substr(0, digits), frame.substr(digits)});
  } else {
    receivedDropped_++;
  }
  if (now < faults_.silentUntil) return {};
  if (faults_.rejectCommands > 0) {
    faults_.rejectCommands--;
    return FrameReply(RejectedReply(frame.size() > 2 ? frame.substr(2) : std::string()));
  }
  CatchUp();
  std::string reply = firmware_.Reply(frame);
  if (faults_.dropReplies > 0) {
    faults_.dropReplies--;
    return {};
  }
  return Disturb(reply);
}

// CRC faults on a framed reply.
std::string AmpDevice::Disturb(std::string reply) {
  if (faults_.corruptCrc > 0) {
    faults_.corruptCrc--;
    char digits[3];
    snprintf(digits, sizeof digits, "%02X",
             (charToInt(reply[0]) << 4 | charToInt(reply[1])) ^ 0x5A);
    reply.replace(0, 2, digits);
  }
  bool letters = isalpha(static_cast<unsigned char>(reply[0])) ||
                 isalpha(static_cast<unsigned char>(reply[1]));
  if (faults_.lowerCaseCrc > 0 && letters) {
    faults_.lowerCaseCrc--;
    for (int i = 0; i < 2; i++) reply[i] = static_cast<char>(tolower(reply[i]));
  }
  return reply;
}

void AmpDevice::Send(const std::string &reply, bool split) {
  if (context_.pacing) SleepMicros(PROCESSING_MICROS);
  if (!split) {
    port_.Write(reply, context_.pacing);
    return;
  }
  size_t half = reply.size() / 2;
  port_.Write(reply.substr(0, half), context_.pacing);
  SleepMicros(SPLIT_PAUSE_MICROS);
  port_.Write(reply.substr(half), context_.pacing);
}

bool AmpDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  if (ev.subject == "radio" || ev.subject == "antenna") return ApplyWorldEvent(*world_, ev, error);
  if (ev.verb == "await") return AwaitCommand(ev, error);
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUp();
  return ApplyAmp(ev, error);
}

bool AmpDevice::ApplyAmp(const ScenarioEvent &ev, std::string &error) {
  AmpModel &m = firmware_.Model();
  long n = 0;
  double value = 0;
  const std::string &v = ev.verb;
  if (v == "class") {
    if (!ArgInt(ev, 0, n, error)) return false;
    if (n != 60 && n != 120) return Fail(ev, "the class is 60 or 120", error);
    m.SetPowerClass(int(n));
    world_->SetAmpPowerClass(int(n));
  } else if (v == "drop" || v == "corrupt-crc" || v == "lowercase-crc" || v == "reject" ||
             v == "split") {
    if (!CountArg(ev, n, error)) return false;
    int &count = v == "drop"            ? faults_.dropReplies
                 : v == "corrupt-crc"   ? faults_.corruptCrc
                 : v == "lowercase-crc" ? faults_.lowerCaseCrc
                 : v == "reject"        ? faults_.rejectCommands
                                        : faults_.splitReplies;
    count = int(n);
  } else if (v == "silence") {
    if (!ArgDouble(ev, 0, value, error)) return false;
    faults_.silentUntil = Now() + value;
  } else if (v == "garbage") {
    if (!CountArg(ev, n, error)) return false;
    if (n > MAX_GARBAGE) return Fail(ev, "at most 4096 bytes", error);
    faults_.garbage += Garbage(n);
  } else if (v == "restart") {
    m.Restart();
    faults_.silentUntil = Now() + BOOT_SECONDS;
  } else if (v == "temp") {
    if (!ArgInt(ev, 0, n, error)) return false;
    if (n != 1 && n != 2) return Fail(ev, "the sensor is 1 or 2", error);
    if (ev.args.size() > 1 && ev.args[1] == "free") {
      m.Thermal().Force(int(n), std::nullopt);
    } else {
      if (!ArgDouble(ev, 1, value, error)) return false;
      m.Thermal().Force(int(n), value);
    }
  } else if (v == "ambient") {
    if (!ArgDouble(ev, 0, value, error)) return false;
    m.Thermal().SetAmbient(value);
  } else {
    return Fail(ev,
                "amp takes class, drop, silence, corrupt-crc, lowercase-crc, reject, split, "
                "garbage, restart, temp, ambient or await",
                error);
  }
  return true;
}

bool AmpDevice::AwaitCommand(const ScenarioEvent &ev, std::string &error) {
  double seconds = AWAIT_DEFAULT_SECONDS;
  std::string text;
  if (!AwaitArgs(ev, text, seconds, error)) return false;
  auto received = [&] {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const ReceivedFrame &f : received_)
      if (f.text == text) return true;
    return false;
  };
  if (AwaitUntil(received, seconds, interrupted_)) return true;
  return Fail(ev, "not received", error);
}

std::vector<ReceivedFrame> AmpDevice::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

std::vector<ReceivedFrame> AmpDevice::RecentCommands(size_t count) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ReceivedFrame> recent;
  for (auto f = received_.rbegin(); f != received_.rend() && recent.size() < count; ++f)
    if (f->text != "ST;" && f->text != "FM;") recent.push_back(*f);
  return {recent.rbegin(), recent.rend()};
}

void AmpDevice::WithFirmware(const std::function<void(AmpFirmware &)> &change) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUp();
  change(firmware_);
}

void AmpDevice::Report(JsonWriter &json) {
  std::lock_guard<std::mutex> lock(mutex_);
  CatchUp();
  json.BeginObject();
  json.Field("port", PortPath());
  json.Field("powerClass", firmware_.Model().PowerClass());
  json.Key("received").BeginArray();
  for (const ReceivedFrame &f : received_)
    json.BeginObject().Field("t", f.t).Field("crc", f.crc).Field("text", f.text).EndObject();
  json.EndArray();
  json.Field("receivedDropped", static_cast<long long>(receivedDropped_));
  json.Field("discardedBytes", static_cast<long long>(splitter_.DiscardedBytes()));
  json.Key("state");
  ReportState(json);
  json.EndObject();
}

void AmpDevice::ReportState(JsonWriter &json) {
  const AmpModel &m = firmware_.Model();
  const AmpControls &c = m.Controls();
  AmpReadings r = m.Readings();
  TunerSetting tuner = DecodeTunerWord(c.tuneWord);
  const AntennaLoad &load = m.Load(c.antenna);
  char word[9];
  snprintf(word, sizeof word, "%08X", c.tuneWord);
  json.BeginObject();
  json.Field("freqHz", static_cast<long long>(std::llround(m.Rf().freqHz)))
      .Field("rfOn", m.Rf().on)
      .Field("driveW", m.Rf().driveW);
  json.Field("controllerFreqHz", c.controllerFreqHz).Field("measuredFreqHz", r.measuredFreqHz);
  json.Field("antenna", c.antenna + 1);
  json.Key("load").BeginObject().Field("r", load.RAt(r.freqHz)).Field("x", load.XAt(r.freqHz));
  json.EndObject();
  json.Field("filterMask", int(c.filterMask));
  json.Key("thresholds").BeginArray();
  for (int t : c.thresholds) json.Int(t);
  json.EndArray();
  json.Key("protectionParams").BeginArray();
  for (int p : c.protectionParams) json.Int(p);
  json.EndArray();
  json.Field("pads", c.pads).Field("bypass", c.bypass).Field("protectionMode", c.protectionMode);
  json.Field("fanLevel", c.fanLevel).Field("anValue", c.anValue).Field("tuneDigit", c.tuneDigit);
  json.Field("genericSettings", c.genericSettings).Field("serviceMode", c.serviceMode);
  json.Key("tuner").BeginObject().Field("word", word).Field("L", tuner.l).Field("C", tuner.c);
  json.Field("network", TunerNetworkName(tuner.network)).EndObject();
  json.Field("inputW", r.inputW).Field("forwardW", r.forwardW).Field("reflectedW", r.reflectedW);
  json.Field("swr", r.swr).Field("bestSwr", m.FindBestTune().swr).Field("loadW", r.loadW);
  json.Field("currentA", r.currentA).Field("dissipationW", r.dissipationW);
  json.Key("temperatures").BeginArray().Number(r.temperature[0]).Number(r.temperature[1]);
  json.EndArray();
  json.Field("statusA", int(r.statusA)).Field("statusB", int(r.statusB));
  json.Field("statusC", int(r.statusC));
  json.EndObject();
}
