#include "sim/transceiver/transceiver.h"

#include <chrono>
#include <cstdio>

#include "sim/world/json.h"
#include "sim/world/radio_wiring.h"

namespace {
constexpr double BLOCK_PERIOD = 0.2;  // steady parameter blocks, s
constexpr double LINE_PERIOD = 0.2;   // spectrum lines, s
constexpr int POLL_MS = 5;
constexpr int UNREAD_LIMIT = 2048;  // bytes the unit has left unread before we hold back
constexpr size_t COMMAND_LIMIT = 200;
constexpr size_t COMMANDS_KEPT = 1000;
const char CAT_PORT[] = "/dev/VORNCAT0";

std::string CatFrequency(const char *vfo, uint32_t hz) {
  char text[24];
  snprintf(text, sizeof text, "%s%011u;", vfo, hz);
  return text;
}

bool OnOff(const ScenarioEvent &ev, bool &on, std::string &error) {
  std::string arg = ev.args.empty() ? "" : ev.args[0];
  if (arg != "on" && arg != "off") {
    error = ev.text + ": expected on or off";
    return false;
  }
  on = arg == "on";
  return true;
}

bool Ranged(const ScenarioEvent &ev, long low, long high, long &value, std::string &error) {
  if (!ArgInt(ev, 0, value, error)) return false;
  if (value >= low && value <= high) return true;
  error = ev.text + ": out of range " + std::to_string(low) + ".." + std::to_string(high);
  return false;
}
}  // namespace

TransceiverSim::TransceiverSim(const SimContext &context) : context_(context) {}

TransceiverSim::~TransceiverSim() { Stop(); }

double TransceiverSim::Now() const {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count() - start_;
}

bool TransceiverSim::Start(std::string &error) {
  start_ = 0;
  start_ = DeviceEpoch(context_, Now());
  wired_ = RadioWired(context_, Radio::Transceiver);
  if (!wired_) return true;  // the bank's radio is the FT-817: this one is not connected
  if (!extIo_.Open(SandboxDevicePath(context_.root, "SerPort"), error)) return false;
  if (!cat_.Open(context_.root + CAT_PORT, error)) return false;
  stop_ = false;
  worker_ = std::thread(&TransceiverSim::Run, this);
  catWorker_ = std::thread(&TransceiverSim::RunCat, this);
  return true;
}

void TransceiverSim::Stop() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  if (catWorker_.joinable()) catWorker_.join();
  extIo_.Close();
  cat_.Close();
}

bool TransceiverSim::Silent() const { return Now() < silentUntil_; }

void TransceiverSim::Run() {
  double nextBlock = 0, nextLine = LINE_PERIOD / 2;
  while (!stop_) {
    Serve(extIo_, extIoPending_, "extio");
    SendChanges();
    double now = Now();
    if (now >= nextBlock) {
      SendSteady();
      nextBlock = now + BLOCK_PERIOD;
    }
    if (now >= nextLine) {
      std::vector<uint8_t> line;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        line = SynthSpectrumLine(state_, noise_);
      }
      SendExtIo(FrameExtIoMessage(EXT_IO_SPECTRUM, line), linesSent_);
      nextLine = now + LINE_PERIOD;
    }
  }
}

// The CAT port has a line of its own: its answers never wait for a paced
// spectrum line on the extended-IO port.
void TransceiverSim::RunCat() {
  while (!stop_) {
    Serve(cat_, catPending_, "cat");
    SendCat();
  }
}

// Collects the unit's ';'-terminated commands, each a letter first; bytes
// that are not text (an FT-817 poll on a shared line, a parameter block a
// peer unit passes on) are no part of a command.
void TransceiverSim::Serve(PtyPort &port, std::string &pending, const char *name) {
  uint8_t buf[256];
  int n = port.Read(buf, sizeof buf, POLL_MS);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Silent() || (&port == &extIo_ && !extIoCable_)) return;
  }
  for (int i = 0; i < n; i++) {
    char c = static_cast<char>(buf[i]);
    if (pending.empty() && (c < 'A' || c > 'Z')) continue;
    if (c == ';') {
      Obey(pending + ";", name);
      pending.clear();
    } else if (c >= 0x20 && c < 0x7F) {
      pending += c;
      if (pending.size() > COMMAND_LIMIT) pending.clear();
    }
  }
}

void TransceiverSim::Obey(const std::string &command, const char *port) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (commands_.size() < COMMANDS_KEPT) commands_.push_back({Now(), port, command});
  std::string verb = command.substr(0, 2);
  if (ignoreTune_ && (verb == "TU" || verb == "TX")) return;  // an operator who will not tune
  if (verb == "RX")
    Key(false);
  else if (verb == "TX")
    Key(true);
  else if (verb == "TU")
    state_.tuneLevel = std::atoi(command.c_str() + 2);
  else if (verb == "DT")
    catOut_.push_back("DT001;");
  else if ((verb == "FA" || verb == "FB") && command.size() == 14)
    SetVfo(verb == "FB", command.substr(2, 11));
  else if (verb == "FA")
    catOut_.push_back(CatFrequency("FA", state_.freqA));
  else if (verb == "FB")
    catOut_.push_back(CatFrequency("FB", state_.freqB));
}

// A frequency set over CAT; as any change, it is announced on the CAT port,
// but only a change: two joined units must not echo each other for ever.
void TransceiverSim::SetVfo(bool vfoB, const std::string &digits) {
  if (digits.find_first_not_of("0123456789") != std::string::npos) return;
  uint32_t hz = static_cast<uint32_t>(std::stoul(digits));
  uint32_t &freq = vfoB ? state_.freqB : state_.freqA;
  if (hz == 0 || hz > 99999999 || hz == freq) return;
  freq = hz;
  changed_ = true;
  if (!state_.memMode) catOut_.push_back(CatFrequency(vfoB ? "FB" : "FA", hz));
  if (state_.tx) Key(true);
}

void TransceiverSim::Key(bool on) {
  state_.tx = on;
  RfSource rf = context_.world->Rf();
  rf.on = on;
  rf.freqHz = state_.OperatingFreq();
  rf.driveW = state_.driveW;
  context_.world->SetRf(rf);
  changed_ = true;
}

void TransceiverSim::SendChanges() {
  TrxState state;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Silent() || !changed_) return;
    changed_ = false;
    state = state_;
  }
  // Both VFOs, the operating one last.
  SendExtIo(FrameExtIoMessage(EXT_IO_PARAMETERS, EncodeParameterBlock(state, !state.vfoB)),
            blocksSent_);
  SendExtIo(FrameExtIoMessage(EXT_IO_PARAMETERS, EncodeParameterBlock(state, state.vfoB)),
            blocksSent_);
}

void TransceiverSim::SendCat() {
  std::vector<std::string> catOut;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Silent()) return;
    catOut.swap(catOut_);
  }
  if (catOut.empty() || !cat_.LineIs(B115200, false)) return;
  for (const std::string &text : catOut) {
    double t = Now();
    if (!cat_.Write(text, context_.pacing)) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (catSent_.size() < COMMANDS_KEPT) catSent_.push_back({t, "cat", text});
  }
}

void TransceiverSim::SendSteady() {
  TrxState state;
  bool blockB;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state = state_;
    blockB = nextBlockB_;
    nextBlockB_ = !nextBlockB_;
  }
  SendExtIo(FrameExtIoMessage(EXT_IO_PARAMETERS, EncodeParameterBlock(state, blockB)), blocksSent_);
}

void TransceiverSim::SendExtIo(const std::vector<uint8_t> &message, std::atomic<long> &counter) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Silent() || !extIoCable_) return;
  }
  // On a line set otherwise the bytes would arrive garbled; with the unit not
  // reading they would pile up. Either way the message is held back whole.
  if (!extIo_.LineIs(B115200, false) || extIo_.PendingForUnit() > UNREAD_LIMIT) {
    withheld_++;
    return;
  }
  if (extIo_.Write(message.data(), message.size(), context_.pacing)) counter++;
}

void TransceiverSim::Changed(bool freqChanged) {
  changed_ = true;
  if (freqChanged && !state_.memMode)
    catOut_.push_back(state_.vfoB ? CatFrequency("FB", state_.freqB)
                                  : CatFrequency("FA", state_.freqA));
  if (state_.tx) Key(true);  // the carrier follows the new frequency and drive
}

bool TransceiverSim::Apply(const ScenarioEvent &ev, std::string &error) {
  std::lock_guard<std::mutex> lock(mutex_);
  long value = 0;
  bool on = false;
  if (ev.verb == "freq") {
    if (!Ranged(ev, 1, 99999999, value, error)) return false;
    uint32_t &freq = state_.memMode ? state_.freqMem : state_.vfoB ? state_.freqB : state_.freqA;
    freq = static_cast<uint32_t>(value);
    Changed(true);
  } else if (ev.verb == "vfo") {
    std::string arg = ev.args.empty() ? "" : ev.args[0];
    if (arg != "a" && arg != "b") {
      error = ev.text + ": expected a or b";
      return false;
    }
    state_.vfoB = arg == "b";
    Changed(false);
  } else if (ev.verb == "mode") {
    if (!Ranged(ev, 0, 15, value, error)) return false;
    (state_.vfoB ? state_.modeB : state_.modeA) = static_cast<int>(value);
    Changed(false);
  } else if (ev.verb == "mem") {
    if (!OnOff(ev, on, error)) return false;
    state_.memMode = on;
    Changed(false);
  } else if (ev.verb == "tx") {
    if (!OnOff(ev, on, error)) return false;
    Key(on);
  } else if (ev.verb == "drive") {
    double watts = 0;
    if (!ArgDouble(ev, 0, watts, error)) return false;
    state_.driveW = watts;
    Changed(false);
  } else if (ev.verb == "squelch") {
    if (!Ranged(ev, 0, 15, value, error)) return false;
    state_.squelch = static_cast<int>(value);
    Changed(false);
  } else if (ev.verb == "volume") {
    if (!Ranged(ev, 0, 127, value, error)) return false;
    state_.volume = static_cast<int>(value);
    Changed(false);
  } else if (ev.verb == "cat") {  // the transceiver sends a CAT text of its own
    std::string text;
    for (const std::string &arg : ev.args) text += (text.empty() ? "" : " ") + arg;
    if (text.empty()) {
      error = ev.text + ": expected a CAT text";
      return false;
    }
    catOut_.push_back(text);
  } else if (ev.verb == "extio") {
    if (!OnOff(ev, extIoCable_, error)) return false;
  } else if (ev.verb == "ignore-tune") {
    if (!OnOff(ev, ignoreTune_, error)) return false;
  } else if (ev.verb == "silent") {
    double seconds = 0;
    if (!ArgDouble(ev, 0, seconds, error)) return false;
    silentUntil_ = Now() + seconds;
  } else {
    error = ev.text + ": unknown verb for trx";
    return false;
  }
  return true;
}

TrxState TransceiverSim::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

std::vector<TransceiverSim::Command> TransceiverSim::Commands() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

void TransceiverSim::Report(JsonWriter &json) {
  TrxState s = State();
  json.BeginObject();
  json.Field("wired", wired_);
  json.Field("extIoPort", extIo_.Path()).Field("catPort", cat_.Path());
  json.Key("state").BeginObject();
  json.Field("freqA", unsigned(s.freqA)).Field("freqB", unsigned(s.freqB));
  json.Field("freqMem", unsigned(s.freqMem)).Field("vfo", s.vfoB ? "b" : "a");
  json.Field("memMode", s.memMode).Field("modeA", s.modeA).Field("modeB", s.modeB);
  json.Field("tx", s.tx).Field("driveW", s.driveW).Field("tuneLevel", s.tuneLevel);
  json.Field("squelch", s.squelch).Field("volume", s.volume);
  json.EndObject();
  json.Field("blocksSent", static_cast<long long>(blocksSent_));
  json.Field("linesSent", static_cast<long long>(linesSent_));
  json.Field("withheld", static_cast<long long>(withheld_));
  json.Key("commands").BeginArray();
  for (const Command &c : Commands())
    json.BeginObject().Field("t", c.t).Field("port", c.port).Field("text", c.text).EndObject();
  json.EndArray();
  std::vector<Command> sent;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sent = catSent_;
  }
  json.Key("catSent").BeginArray();
  for (const Command &c : sent)
    json.BeginObject().Field("t", c.t).Field("text", c.text).EndObject();
  json.EndArray();
  json.EndObject();
}
