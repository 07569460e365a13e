#include "remote/audio_link.h"

#include <alsa/asoundlib.h>

#include <cstdio>

#include "core/log.h"
#include "core/works.h"
#include "remote/audio_capture.h"
#include "settings/setup_record.h"

namespace {
bool ServerEnd(Works *works) { return works->cfg.setup->WebSocket == '1'; }

// The queued audio is thrown away; the period is not written.
void ResetPlayback(snd_pcm_t *pcm, const PlaybackFill &fill) {
  LogSys(LOG_PRIO_INFO, "output audio interface reset (%ld frames queued)", fill.free1 - fill.free);
  snd_pcm_drop(pcm);
  snd_pcm_prepare(pcm);
}

// Writes one period; false when the write failed in a way that ends the
// client's connection. After an underrun the device is prepared again and
// the server writes the period once more.
bool WritePeriod(snd_pcm_t *pcm, const int16_t *frames, int count, bool server) {
  snd_pcm_sframes_t written = snd_pcm_writei(pcm, frames, snd_pcm_uframes_t(count));
  if (written >= count) return true;
  LogSys(LOG_PRIO_ERR, "write to output audio interface failed %d (%d - %s)\n", count, int(written),
         snd_strerror(int(written)));
  fflush(stderr);
  if (written == -EPIPE) {
    snd_pcm_prepare(pcm);
    if (server) snd_pcm_writei(pcm, frames, snd_pcm_uframes_t(count));
    return true;
  }
  return server || written >= 0;
}
}  // namespace

bool PlayAudioPacket(Works *works, const uint8_t *packet, uint32_t n) {
  RemoteState &r = works->remote;
  AudioState &a = r.audio;
  bool server = ServerEnd(works);
  if (ReadSetupFlag(works->cfg.setup->EnableWrite) != '1' || !a.playbackReady) return true;
  if (server) LogSys(LOG_PRIO_INFO, "EIK, SO 01");
  std::lock_guard<std::mutex> lock(a.playbackMutex);
  if (!a.playbackReady || !a.playbackPcm || a.playbackBuf.empty()) return true;
  OpusDecoder *decoder = r.AudioCompress != 0 ? r.opusDecoder : nullptr;
  int frames = PacketToFrames(packet, n, decoder, AudioPeriod(works), a.playbackBuf.data());
  if (server) LogSys(LOG_PRIO_INFO, "EIK, SO 03");
  if (TrackPlaybackFill(a.fill, long(snd_pcm_avail(a.playbackPcm))) == FillAction::Reset) {
    ResetPlayback(a.playbackPcm, a.fill);
    return true;
  }
  return frames == 0 || WritePeriod(a.playbackPcm, a.playbackBuf.data(), frames, server);
}
