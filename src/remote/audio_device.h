#pragma once
// What the capture and playback threads share in opening and setting up
// their ALSA devices.
#include <alsa/asoundlib.h>

#include <functional>
#include <string>

struct Works;

constexpr int AUDIO_OPEN_ATTEMPTS = 100;
constexpr int AUDIO_OPEN_PAUSE_MS = 100;

// Opens `name` in blocking mode, trying up to AUDIO_OPEN_ATTEMPTS times,
// AUDIO_OPEN_PAUSE_MS apart, while `enable` stays '1' and the unit runs.
// `attempt(result, number)` prints each attempt's line. Returns the last
// attempt's result (0 with `pcm` set, else an ALSA error).
int OpenPcmWithRetries(Works *works, const char *name, snd_pcm_stream_t stream, char &enable,
                       snd_pcm_t **pcm, const std::function<void(int, int)> &attempt);

// One set-up step: its success line (when given) to the system log, or its
// failure line — `failFormat` with ALSA's reason for `result` in place of
// its one "%s" — to the system log and to standard error.
bool PcmStep(int result, const char *okText, const char *failFormat, bool lineEnd = true);

// How one direction's device is set up. Both directions log their steps in
// the same words, with the direction's name.
struct PcmLayout {
  const char *direction;  // "capture" or "playback"
  bool resample;          // the device may resample
  unsigned channels;
  const char *channelsFail;  // the two directions word this failure apart
  const char *formatSuffix;  // behind "format set"
  unsigned periods;          // 0: the device's choice; else exactly, of 1024 frames each
  const char *freedText;
};

// Sets up the device's hardware parameters step by step, each step logged;
// the rate asked for in `rate` is replaced by the one the device gives.
bool SetPcmParams(snd_pcm_t *pcm, const PcmLayout &layout, unsigned &rate);

// Sleeps `ms` in short slices; false as soon as `enable` leaves '1' or the
// unit stops.
bool PauseWhileEnabled(Works *works, char &enable, int64_t ms);

// The two channels' flags read atomically.
bool AudioEnabled(Works *works, char &enable);
