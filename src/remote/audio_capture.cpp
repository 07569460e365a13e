#include "remote/audio_capture.h"

#include <opus/opus.h>

#include <cstdlib>
#include <vector>

#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "remote/audio_device.h"
#include "remote/audio_period.h"
#include "remote/ws_send.h"
#include "settings/setup_record.h"
#include "transceiver/remote_check.h"

std::atomic<int32_t> status_th_leggi{0};

namespace {
constexpr int WAIT_MS = 100;
constexpr int64_t PRESENCE_PERIOD_US = 2000000;

char &EnableRead(Works *works) { return works->cfg.setup->EnableRead; }

// Any count but 2 is captured as mono, so a period never outgrows the buffer.
int CaptureChannels(Works *works) {
  int channels = atoi(works->cfg.setup->InChannels);
  if (channels == 1 || channels == 2) return channels;
  LogSys(LOG_PRIO_ERR, "capture channel count %d not usable, 1 used", channels);
  return 1;
}

snd_pcm_t *OpenCapture(Works *works, const char *name) {
  snd_pcm_t *pcm = nullptr;
  int r = OpenPcmWithRetries(works, name, SND_PCM_STREAM_CAPTURE, EnableRead(works), &pcm,
                             [name](int, int n) { LogErr("EIK 2 audio in %s (%i)\n", name, n); });
  LogErr("EIK 3 audio in %s\n", name);
  if (r == 0) return pcm;
  LogSys(LOG_PRIO_ERR, "cannot open capture audio device '%s' (%s) after %d/10\"", name,
         snd_strerror(r), AUDIO_OPEN_ATTEMPTS);
  LogErr("cannot open capture audio device '%s' (%s)\n", name, snd_strerror(r));
  return nullptr;
}

bool SetCaptureParams(Works *works, snd_pcm_t *pcm) {
  RemoteState &r = works->remote;
  const PcmLayout layout = {
      "capture", false, unsigned(int(r.audio.inChannels)), "cannot set capture channel count (%s)",
      "",        0,     "capture hw_params freed"};
  unsigned rate = unsigned(int(r.sampleRate));
  if (!SetPcmParams(pcm, layout, rate)) return false;
  r.sampleRate = int32_t(rate);
  return PcmStep(snd_pcm_prepare(pcm), "capture audio interface prepared",
                 "cannot prepare capture audio interface for use (%s)");
}

// After an overrun the device is prepared and started again; a device that
// cannot be (it went away) is given a pause, and the presence test ends it.
void Recover(Works *works, snd_pcm_t *pcm, int error) {
  if (snd_pcm_recover(pcm, error, 1) == 0 && snd_pcm_start(pcm) == 0) return;
  PauseWhileEnabled(works, EnableRead(works), WAIT_MS);
}

// Every whole period the device holds goes to the peer.
void SendAvailablePeriods(Works *works, snd_pcm_t *pcm, int16_t *buffer, int period) {
  int channels = works->remote.audio.inChannels;
  for (;;) {
    snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
    if (avail < 0) return Recover(works, pcm, int(avail));
    if (avail < period) return;
    snd_pcm_sframes_t read = snd_pcm_readi(pcm, buffer, snd_pcm_uframes_t(period));
    if (read < 0) return Recover(works, pcm, int(read));
    if (read < period) return;
    if (channels == 1) WidenMono(buffer, period);
    sendWebSockAudioFrame(works, buffer);
  }
}

enum class CaptureEnd { Stopped, CodecGone };

// The capture runs here rather than in an asynchronous handler: ALSA's
// handler exists only for kernel devices and runs in a signal handler, where
// taking the send mutex could deadlock the thread holding it.
CaptureEnd Capture(Works *works, snd_pcm_t *pcm, int16_t *buffer, int period) {
  int64_t nextCheck = MonotonicMicros() + PRESENCE_PERIOD_US;
  while (AudioEnabled(works, EnableRead(works))) {
    if (MonotonicMicros() >= nextCheck) {
      if (VerifyAudioTAVO(works) == 0) return CaptureEnd::CodecGone;
      nextCheck += PRESENCE_PERIOD_US;
    }
    int r = snd_pcm_wait(pcm, WAIT_MS);
    if (r < 0)
      Recover(works, pcm, r);
    else if (r > 0)
      SendAvailablePeriods(works, pcm, buffer, period);
  }
  return CaptureEnd::Stopped;
}

bool StopCapture(Works *works, snd_pcm_t *pcm) {
  if (!PcmStep(snd_pcm_drop(pcm), nullptr, "cannot drop capture pcm handler (%s)") ||
      !PcmStep(snd_pcm_drain(pcm), nullptr, "cannot drain capture pcm handler (%s)")) {
    ExitAUDIOread(works);
    return false;
  }
  return true;
}

void CaptureWithDevice(Works *works, snd_pcm_t *pcm) {
  int period = AudioPeriod(works);
  std::vector<int16_t> buffer;
  buffer.resize(size_t(period) * 2);
  LogSys(LOG_PRIO_INFO, "capture buffer allocated (%d)", period * AUDIO_BYTES_PER_FRAME);
  if (!PcmStep(snd_pcm_start(pcm), nullptr, "cannot start capture pcm handler (%s)")) {
    ExitAUDIOread(works);
    return;
  }
  if (Capture(works, pcm, buffer.data(), period) == CaptureEnd::CodecGone) {
    ExitAUDIOread(works);
    return;
  }
  if (!StopCapture(works, pcm)) return;
  LogSys(LOG_PRIO_INFO, "buffer freed");
  LogSys(LOG_PRIO_INFO, "capture audio interface closed");
  snd_pcm_close(pcm);
  works->remote.audio.capturePcm = nullptr;
  status_th_leggi = 0;
  if (works->core.running) WriteSetupFlag(EnableRead(works), '0');
  LogErr("th_leggi END\n");
}
}  // namespace

int AudioPeriod(Works *works) {
  RemoteState &r = works->remote;
  int requested = r.audioFrameSize;
  int period = ValidAudioPeriod(requested, r.AudioCompress != 0);
  if (period != requested && r.audioFrameSize.exchange(period) == requested)
    LogSys(LOG_PRIO_ERR, "audio period of %d frames not usable, %d used", requested, period);
  return period;
}

void th_leggi(Works *works) {
  const char *name = works->cfg.setup->AudioIn;
  AudioState &a = works->remote.audio;
  a.inChannels = CaptureChannels(works);
  status_th_leggi = 0;
  snd_pcm_t *pcm = OpenCapture(works, name);
  if (!pcm) {
    ExitAUDIOread(works);
    return;
  }
  a.capturePcm = pcm;
  LogSys(LOG_PRIO_INFO, "capture audio interface %s opened", name);
  status_th_leggi = 1;
  if (!SetCaptureParams(works, pcm)) {
    ExitAUDIOread(works);
    return;
  }
  CaptureWithDevice(works, pcm);
}

void ExitAUDIOread(Works *works) {
  LogErr("th_leggi ERR\n");
  AddErrore(works, ERR_AUDIO_READ);
  AudioState &a = works->remote.audio;
  if (a.capturePcm) snd_pcm_close(a.capturePcm);
  a.capturePcm = nullptr;
  status_th_leggi = 0;
  works->remote.remoteFault = 1;
  WriteSetupFlag(EnableRead(works), '0');
  a.playbackReady = 0;
}

void sendWebSockAudioFrame(Works *works, const int16_t *pcm) {
  RemoteState &r = works->remote;
  if (!r.wsConnected) return;
  int period = AudioPeriod(works);
  int bytes = period * AUDIO_BYTES_PER_FRAME;
  if (r.AudioCompress == 0 || !r.opusEncoder) {
    SendAudioPacket(works, reinterpret_cast<const uint8_t *>(pcm), uint32_t(bytes));
    return;
  }
  std::vector<uint8_t> packet(static_cast<size_t>(bytes));
  opus_int32 n = opus_encode(r.opusEncoder, pcm, period, packet.data(), bytes);
  if (n < 0) {
    LogErr("encode failed: %s\n", opus_strerror(n));
    return;
  }
  SendAudioPacket(works, packet.data(), uint32_t(n));
}
