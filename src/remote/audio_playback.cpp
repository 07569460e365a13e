#include "remote/audio_playback.h"

#include <algorithm>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "remote/audio_capture.h"
#include "remote/audio_device.h"
#include "settings/setup_record.h"
#include "transceiver/remote_check.h"

std::atomic<int32_t> status_th_scrivi{0};

namespace {
constexpr int64_t START_PAUSE_MS = 3000;
constexpr int64_t PRESENCE_PERIOD_MS = 10;
constexpr int PLAYBACK_CHANNELS = 2;
// Playback starts with two periods queued, and at least 20 ms, so that a
// packet arriving a little late does not run the device dry.
constexpr int START_PERIODS = 2;
constexpr int START_MIN_PER_SECOND = 50;  // 1/50 s

char &EnableWrite(Works *works) { return works->cfg.setup->EnableWrite; }

void Announce(const char *text) {
  LogSys(LOG_PRIO_INFO, "%s", text);
  LogErr("%s\n", text);
}

// Takes the device and the buffer away from the receiving thread.
snd_pcm_t *TakeBack(Works *works) {
  AudioState &a = works->remote.audio;
  std::lock_guard<std::mutex> lock(a.playbackMutex);
  a.playbackReady = 0;
  snd_pcm_t *pcm = a.playbackPcm;
  a.playbackPcm = nullptr;
  a.playbackBuf.clear();
  a.playbackBuf.shrink_to_fit();
  return pcm;
}

void HandOver(Works *works, snd_pcm_t *pcm) {
  AudioState &a = works->remote.audio;
  std::lock_guard<std::mutex> lock(a.playbackMutex);
  a.playbackPcm = pcm;
  a.fill = PlaybackFill{};
}

snd_pcm_t *OpenPlayback(Works *works, const char *name) {
  snd_pcm_t *pcm = nullptr;
  int r =
      OpenPcmWithRetries(works, name, SND_PCM_STREAM_PLAYBACK, EnableWrite(works), &pcm,
                         [](int result, int n) { LogErr("EIK 2 audio out %d (%i)\n", result, n); });
  if (r == 0) return pcm;
  LogErr("EIK 3 audio out\n");
  LogSys(LOG_PRIO_ERR, "cannot open output audio device %s (%s)", name, snd_strerror(r));
  LogErr("cannot open output audio device %s (%s)\n", name, snd_strerror(r));
  return nullptr;
}

bool SetPlaybackParams(Works *works, snd_pcm_t *pcm) {
  RemoteState &r = works->remote;
  const PcmLayout layout = {"playback",
                            true,
                            PLAYBACK_CHANNELS,
                            "Cannot set playback channel count (%s)",
                            " ",
                            unsigned(int(r.AudioBuffers)),
                            "playback hw_params freed\n"};
  unsigned rate = unsigned(int(r.sampleRate));
  if (!SetPcmParams(pcm, layout, rate)) return false;
  r.sampleRate = int32_t(rate);
  return true;
}

void SetStartThreshold(Works *works, snd_pcm_t *pcm) {
  snd_pcm_sw_params_t *sw = nullptr;
  if (snd_pcm_sw_params_malloc(&sw) < 0) return;
  snd_pcm_uframes_t start = snd_pcm_uframes_t(std::max(
      AudioPeriod(works) * START_PERIODS, works->remote.sampleRate / START_MIN_PER_SECOND));
  if (snd_pcm_sw_params_current(pcm, sw) < 0 ||
      snd_pcm_sw_params_set_start_threshold(pcm, sw, start) < 0 || snd_pcm_sw_params(pcm, sw) < 0)
    LogSys(LOG_PRIO_ERR, "playback start threshold not set");
  snd_pcm_sw_params_free(sw);
}

void MakePlaybackBuffer(Works *works) {
  AudioState &a = works->remote.audio;
  {
    std::lock_guard<std::mutex> lock(a.playbackMutex);
    a.playbackBuf.assign(size_t(AUDIO_PLAYBACK_FRAMES_MAX) * PLAYBACK_CHANNELS, 0);
  }
  LogSys(LOG_PRIO_INFO, "playback buffer allocated (%d)",
         AUDIO_PLAYBACK_FRAMES_MAX * AUDIO_BYTES_PER_FRAME);
  a.playbackReady = 1;
}

enum class Wait { Done, Stopped, CodecGone };

// Tests the codec's presence every 10 ms while `connected` has the value
// given and playback stays enabled.
Wait WatchCodec(Works *works, bool connected) {
  while (AudioEnabled(works, EnableWrite(works)) && bool(works->remote.wsConnected) == connected) {
    if (VerifyAudioTAVO(works) == 0) return Wait::CodecGone;
    PauseWhileEnabled(works, EnableWrite(works), PRESENCE_PERIOD_MS);
  }
  return AudioEnabled(works, EnableWrite(works)) ? Wait::Done : Wait::Stopped;
}

void ClosePlayback(snd_pcm_t *pcm) {
  Announce("output audio interface to be stopped");
  PcmStep(snd_pcm_drain(pcm), nullptr, "cannot drain playback pcm handler (%s)");
  LogSys(LOG_PRIO_INFO, "playback buffer freed");
  snd_pcm_close(pcm);
  status_th_scrivi = 0;
}

// The peer's first packets may already be arriving.
bool Prepare(Works *works, snd_pcm_t *pcm) {
  std::lock_guard<std::mutex> lock(works->remote.audio.playbackMutex);
  return PcmStep(snd_pcm_prepare(pcm), nullptr,
                 "cannot prepare output audio interface for use (%s)");
}

bool Failed(Works *works) {
  ExitAUDIOwrite(works);
  return false;
}

// One connection's playback, from opening the device to closing it; false
// when the thread has ended (through ExitAUDIOwrite or because playback was
// switched off).
bool PlayOneConnection(Works *works) {
  const char *name = works->cfg.setup->AudioOut;
  snd_pcm_t *pcm = OpenPlayback(works, name);
  if (!pcm) return Failed(works);
  HandOver(works, pcm);
  LogSys(LOG_PRIO_INFO, "output audio interface %s opened", name);
  status_th_scrivi = 1;
  if (!SetPlaybackParams(works, pcm)) return Failed(works);
  SetStartThreshold(works, pcm);
  MakePlaybackBuffer(works);
  Wait w = WatchCodec(works, false);
  if (w == Wait::CodecGone) return Failed(works);
  if (w == Wait::Done) {
    if (!Prepare(works, pcm)) return Failed(works);
    Announce("output audio interface prepared");
    if (WatchCodec(works, true) == Wait::CodecGone) return Failed(works);
  }
  ClosePlayback(TakeBack(works));
  return true;
}
}  // namespace

void th_scrivi(Works *works) {
  status_th_scrivi = 0;
  works->remote.audio.playbackReady = 0;
  PauseWhileEnabled(works, EnableWrite(works), START_PAUSE_MS);
  for (;;) {
    if (!AudioEnabled(works, EnableWrite(works))) {
      Announce("output audio interface closed");
      if (snd_pcm_t *pcm = TakeBack(works)) snd_pcm_close(pcm);
      if (works->core.running) WriteSetupFlag(EnableWrite(works), '0');
      LogErr("th_scrivi END\n");
      return;
    }
    if (!PlayOneConnection(works)) return;
  }
}

void ExitAUDIOwrite(Works *works) {
  LogErr("th_scrivi ERR\n");
  AddErrore(works, ERR_AUDIO_WRITE);
  snd_pcm_t *pcm = TakeBack(works);
  if (pcm) snd_pcm_close(pcm);
  status_th_scrivi = 0;
  works->remote.remoteFault = 1;
  WriteSetupFlag(EnableWrite(works), '0');
}
