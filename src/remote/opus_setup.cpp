#include "remote/opus_setup.h"

#include <opus/opus.h>

#include "core/log.h"
#include "core/works.h"

void SetupOpus(Works *works) {
  RemoteState &r = works->remote;
  if (r.AudioCompress <= 0) return;
  int err = 0;
  r.opusEncoder = opus_encoder_create(r.sampleRate, 2, OPUS_APPLICATION_AUDIO, &err);
  if (err != OPUS_OK || !r.opusEncoder) {
    LogSys(LOG_PRIO_ERR, "failed to create an encoder: %s", opus_strerror(err));
    r.opusEncoder = nullptr;
    r.AudioCompress = 0;
    return;
  }
  err = opus_encoder_ctl(r.opusEncoder, OPUS_SET_BITRATE(int(r.AudioCompress)));
  if (err < 0) {
    LogSys(LOG_PRIO_ERR, "failed to set bitrate: %s", opus_strerror(err));
    opus_encoder_destroy(r.opusEncoder);
    r.opusEncoder = nullptr;
    r.AudioCompress = 0;
    return;
  }
  r.opusDecoder = opus_decoder_create(r.sampleRate, 2, &err);
  if (err < 0 || !r.opusDecoder) {
    LogSys(LOG_PRIO_ERR, "failed to create decoder: %s", opus_strerror(err));
    r.opusDecoder = nullptr;
    r.AudioCompress = 0;
  }
}

void ReleaseOpus(Works *works) {
  RemoteState &r = works->remote;
  if (r.opusEncoder) opus_encoder_destroy(r.opusEncoder);
  if (r.opusDecoder) opus_decoder_destroy(r.opusDecoder);
  r.opusEncoder = nullptr;
  r.opusDecoder = nullptr;
}
