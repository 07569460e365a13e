#include "sim/ft817/ft817.h"

#include <chrono>

#include "sim/world/json.h"
#include "sim/world/radio_wiring.h"

namespace {
constexpr uint8_t READ_FREQ_MODE = 0x03;
constexpr int POLL_MS = 5;
constexpr double FRAME_GAP = 0.1;  // a pause this long drops a half-received command
// Not packed BCD: the poller must keep its last frequency.
const uint8_t GARBAGE_REPLY[FT817_COMMAND_BYTES] = {0x1A, 0xFF, 0x3C, 0xB0, 0x01};

uint8_t Bcd(uint32_t twoDigits) {
  return static_cast<uint8_t>((twoDigits / 10) << 4 | twoDigits % 10);
}
}  // namespace

std::vector<uint8_t> Ft817FrequencyReply(uint32_t hz, uint8_t mode) {
  uint32_t tens = hz / 10;  // eight digits of 10 Hz
  return {Bcd(tens / 1000000 % 100), Bcd(tens / 10000 % 100), Bcd(tens / 100 % 100),
          Bcd(tens % 100), mode};
}

Ft817Sim::Ft817Sim(const SimContext &context) : context_(context) {}

Ft817Sim::~Ft817Sim() { Stop(); }

double Ft817Sim::Now() const {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count() - start_;
}

bool Ft817Sim::Start(std::string &error) {
  start_ = 0;
  start_ = DeviceEpoch(context_, Now());
  wired_ = RadioWired(context_, Radio::Ft817);
  if (!wired_) return true;  // the bank's radio is the companion transceiver
  if (!port_.Open(SandboxDevicePath(context_.root, "CatSerialPort"), error)) return false;
  stop_ = false;
  worker_ = std::thread(&Ft817Sim::Run, this);
  return true;
}

void Ft817Sim::Stop() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  port_.Close();
}

void Ft817Sim::Run() {
  uint8_t command[FT817_COMMAND_BYTES];
  int have = 0;
  double lastByte = 0;
  while (!stop_) {
    uint8_t byte;
    if (port_.Read(&byte, 1, POLL_MS) != 1) continue;
    double now = Now();
    if (have > 0 && now - lastByte > FRAME_GAP) have = 0;
    lastByte = now;
    command[have++] = byte;
    if (have < FT817_COMMAND_BYTES) continue;
    have = 0;
    Answer(command);
  }
}

void Ft817Sim::Answer(const uint8_t *command) {
  std::vector<uint8_t> reply;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    double now = Now();
    if (command[4] != READ_FREQ_MODE) {
      ignored_++;
      return;
    }
    requests_++;
    if (firstRequest_ < 0) firstRequest_ = now;
    lastRequest_ = now;
    if (now < silentUntil_) return;
    // At another speed or framing the rig would see only noise.
    if (!port_.LineIs(B38400, true)) {
      withheld_++;
      return;
    }
    if (garbageLeft_ > 0) {
      garbageLeft_--;
      garbageSent_++;
      reply.assign(GARBAGE_REPLY, GARBAGE_REPLY + FT817_COMMAND_BYTES);
    } else {
      reply = Ft817FrequencyReply(freqHz_, mode_);
    }
  }
  if (port_.Write(reply.data(), reply.size(), context_.pacing)) replies_++;
}

Ft817Sim::Setting Ft817Sim::Dial() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {freqHz_, mode_};
}

bool Ft817Sim::Apply(const ScenarioEvent &ev, std::string &error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ev.verb == "freq") {
    long hz = 0;
    if (!ArgInt(ev, 0, hz, error)) return false;
    if (hz < 100000 || hz > 470000000) {
      error = ev.text + ": the FT-817 tunes 100 kHz .. 470 MHz";
      return false;
    }
    freqHz_ = static_cast<uint32_t>(hz / 10 * 10);
  } else if (ev.verb == "mode") {
    long mode = 0;
    if (!ArgInt(ev, 0, mode, error)) return false;
    mode_ = static_cast<uint8_t>(mode);
  } else if (ev.verb == "silent") {
    double seconds = 0;
    if (!ArgDouble(ev, 0, seconds, error)) return false;
    silentUntil_ = Now() + seconds;
  } else if (ev.verb == "garbage") {
    long count = 1;
    if (!ev.args.empty() && !ArgInt(ev, 0, count, error)) return false;
    garbageLeft_ = static_cast<int>(count);
  } else {
    error = ev.text + ": unknown verb for ft817";
    return false;
  }
  return true;
}

void Ft817Sim::Report(JsonWriter &json) {
  std::lock_guard<std::mutex> lock(mutex_);
  json.BeginObject();
  json.Field("wired", wired_).Field("port", port_.Path());
  json.Field("freq", unsigned(freqHz_)).Field("mode", int(mode_));
  json.Field("silent", Now() < silentUntil_);
  json.Field("requests", static_cast<long long>(requests_));
  json.Field("replies", static_cast<long long>(replies_));
  json.Field("garbageSent", static_cast<long long>(garbageSent_));
  json.Field("ignored", static_cast<long long>(ignored_));
  json.Field("withheld", static_cast<long long>(withheld_));
  json.Field("firstRequest", firstRequest_).Field("lastRequest", lastRequest_);
  json.EndObject();
}
