#include "sim/audio/audio_device.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <new>

#include "core/clock.h"
#include "core/log.h"
#include "sim/audio/playback_analysis.h"
#include "sim/world/json.h"

namespace fs = std::filesystem;

namespace {
const char *VERBS =
    "audio verbs are tone HZ DBFS [BEEP_MS], silence, unplug, plug, open-failures N";
constexpr size_t LIST_MAX = 100;  // entries of a list in the report

long long Count(const std::atomic<int64_t> &counter) { return counter.load(); }
}  // namespace

std::string SimAlsaConfig(const std::string &plugin, const std::string &dir) {
  std::string device = "  type kestra_sim\n  dir \"" + dir + "\"\n";
  return "# The simulated USB sound device of this sandbox (kestra-sim).\n"
         "pcm_type.kestra_sim {\n  lib \"" +
         plugin +
         "\"\n}\n"
         "pcm.!hw {\n"
         "  @args [ CARD DEV SUBDEV ]\n"
         "  @args.CARD { type string default \"1\" }\n"
         "  @args.DEV { type integer default 0 }\n"
         "  @args.SUBDEV { type integer default -1 }\n" +
         device + "}\npcm.kestra_usb {\n" + device + "}\n";
}

AudioDevice::AudioDevice(const SimContext &context, std::shared_ptr<SimUsbBus> bus)
    : context_(context), bus_(std::move(bus)), files_(SimAudioFilesIn(context.root + "/var/sim")) {}

AudioDevice::~AudioDevice() {
  if (shared_) munmap(shared_, sizeof *shared_);
}

bool AudioDevice::MapState(std::string &error) {
  int fd = open(files_.state.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ftruncate(fd, sizeof(SimAudioShared)) != 0) {
    if (fd >= 0) close(fd);
    error = "cannot create " + files_.state;
    return false;
  }
  void *at = mmap(nullptr, sizeof(SimAudioShared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (at == MAP_FAILED) {
    error = "cannot map " + files_.state;
    return false;
  }
  shared_ = new (at) SimAudioShared{};
  shared_->plugged = 1;
  shared_->magic = SIM_AUDIO_MAGIC;
  return true;
}

// ALSA reads $XDG_CONFIG_HOME/alsa/asoundrc; the unit runs in this process.
bool AudioDevice::WriteAlsaConfig(std::string &error) {
  std::string config = context_.root + "/.config";
  std::error_code ec;
  fs::create_directories(config + "/alsa", ec);
  std::ofstream(config + "/alsa/asoundrc")
      << SimAlsaConfig(KESTRA_ALSA_PLUGIN, context_.root + "/var/sim");
  if (ec || !fs::exists(config + "/alsa/asoundrc")) {
    error = "cannot write the ALSA configuration under " + config;
    return false;
  }
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  return true;
}

bool AudioDevice::Start(std::string &error) {
  start_ = MonotonicMicros() / 1e6;
  std::error_code ec;
  fs::create_directories(context_.root + "/var/sim", ec);
  fs::remove(files_.raw, ec);
  fs::remove(files_.index, ec);
  return MapState(error) && WriteAlsaConfig(error);
}

bool AudioDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  double hz = 0, dbfs = 0, beep = 0;
  long count = 0;
  if (!shared_) {
    error = "'" + ev.text + "': the sound device has not started";
    return false;
  }
  if (ev.verb == "tone" && ArgDouble(ev, 0, hz, error) && ArgDouble(ev, 1, dbfs, error) &&
      (ev.args.size() < 3 || ArgDouble(ev, 2, beep, error))) {
    shared_->toneCentiDbfs = int32_t(std::lround(dbfs * 100));
    shared_->beepMs = int32_t(beep);
    shared_->toneMilliHz = int32_t(std::lround(hz * 1000));
  } else if (ev.verb == "silence") {
    shared_->toneMilliHz = 0;
  } else if (ev.verb == "unplug" || ev.verb == "plug") {
    bool plugged = ev.verb == "plug";
    shared_->plugged = plugged;
    bus_->SetPlugged(UsbSlot::AudioCodec, plugged);
  } else if (ev.verb == "open-failures" && ArgInt(ev, 0, count, error)) {
    shared_->openFailures[SIM_AUDIO_CAPTURE] = int32_t(count);
    shared_->openFailures[SIM_AUDIO_PLAYBACK] = int32_t(count);
  } else {
    if (error.empty()) error = "'" + ev.text + "': " + VERBS;
    return false;
  }
  return true;
}

void AudioDevice::Report(JsonWriter &json) {
  json.BeginObject();
  if (!shared_) {
    json.EndObject();
    return;
  }
  SimAudioShared &s = *shared_;
  json.Field("plugged", s.plugged.load() != 0);
  json.Field("captureOpens", Count(s.opens[SIM_AUDIO_CAPTURE]));
  json.Field("playbackOpens", Count(s.opens[SIM_AUDIO_PLAYBACK]));
  json.Field("overruns", Count(s.xruns[SIM_AUDIO_CAPTURE]));
  json.Field("underruns", Count(s.xruns[SIM_AUDIO_PLAYBACK]));
  json.Field("drops", Count(s.drops));
  json.Field("captured", Count(s.capturedFrames));
  json.Field("played", Count(s.playedFrames));
  PlaybackAnalysis a = AnalysePlayback(files_);
  auto since = [this](double t) { return t < 0 ? -1.0 : t - start_; };
  json.Key("playback").BeginObject();
  json.Field("frames", a.frames).Field("frequency", a.frequencyHz);
  json.Field("levelLeft", a.levelDbfs[0]).Field("levelRight", a.levelDbfs[1]);
  json.Field("firstSound", since(a.firstSoundAt)).Field("lastSound", since(a.lastSoundAt));
  json.Key("silentGaps").BeginArray();
  for (size_t i = 0; i < a.silentGaps.size() && i < LIST_MAX; i++) json.Int(a.silentGaps[i]);
  json.EndArray().Key("beepDelaysMs").BeginArray();
  for (size_t i = 0; i < a.beepDelaysMs.size() && i < LIST_MAX; i++) json.Number(a.beepDelaysMs[i]);
  json.EndArray().EndObject().EndObject();
}
