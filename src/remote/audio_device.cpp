#include "remote/audio_device.h"

#include <algorithm>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"

namespace {
constexpr int64_t PAUSE_SLICE_MS = 10;
constexpr unsigned FRAMES_PER_PERIOD = 1024;

// A step's text for the direction ("capture hw_params set").
std::string Text(const char *format, const char *direction) { return StrPrintf(format, direction); }

bool Step(int result, const char *ok, const char *fail, const PcmLayout &l) {
  return PcmStep(result, ok ? Text(ok, l.direction).c_str() : nullptr,
                 Text(fail, l.direction).c_str());
}

bool SetRate(snd_pcm_t *pcm, snd_pcm_hw_params_t *hw, const PcmLayout &l, unsigned &rate) {
  if (!Step(snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, nullptr), nullptr,
            "cannot set %s sample rate (%%s)", l))
    return false;
  LogSys(LOG_PRIO_INFO, "%s hw_params rate set to %d", l.direction, int(rate));
  if (!PcmStep(snd_pcm_hw_params_set_channels(pcm, hw, l.channels), nullptr, l.channelsFail))
    return false;
  LogSys(LOG_PRIO_INFO, "%s hw_params number of channels set to %d", l.direction, int(l.channels));
  return true;
}

bool SetPeriods(snd_pcm_t *pcm, snd_pcm_hw_params_t *hw, const PcmLayout &l) {
  if (l.periods == 0) return true;
  snd_pcm_uframes_t frames = snd_pcm_uframes_t(FRAMES_PER_PERIOD) * l.periods;
  return PcmStep(snd_pcm_hw_params_set_periods(pcm, hw, l.periods, 0), nullptr,
                 StrPrintf("Cannot set periods %d (%%s)", int(l.periods)).c_str(), false) &&
         PcmStep(snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &frames), nullptr,
                 StrPrintf("Cannot set buffersize %d (%%s)", int(frames)).c_str(), false);
}

bool SetAll(snd_pcm_t *pcm, snd_pcm_hw_params_t *hw, const PcmLayout &l, unsigned &rate) {
  std::string formatSet = Text("%s hw_params SND_PCM_FORMAT_S16_LE format set", l.direction);
  return Step(snd_pcm_hw_params_any(pcm, hw), "%s hw_params initialized",
              "cannot initialize %s hardware parameter structure (%%s)", l) &&
         (!l.resample || Step(snd_pcm_hw_params_set_rate_resample(pcm, hw, 1), nullptr,
                              "cannot set %s resample to yes (%%s)", l)) &&
         Step(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED),
              "%s hw_params access SND_PCM_ACCESS_RW_INTERLEAVED set",
              "cannot set %s access type (%%s)", l) &&
         PcmStep(snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE),
                 (formatSet + l.formatSuffix).c_str(),
                 Text("cannot set %s sample format (%%s)", l.direction).c_str()) &&
         SetRate(pcm, hw, l, rate) && SetPeriods(pcm, hw, l) &&
         Step(snd_pcm_hw_params(pcm, hw), "%s hw_params set", "cannot set %s parameters (%%s)", l);
}
}  // namespace

bool SetPcmParams(snd_pcm_t *pcm, const PcmLayout &layout, unsigned &rate) {
  snd_pcm_hw_params_t *hw = nullptr;
  if (!Step(snd_pcm_hw_params_malloc(&hw), "%s hw_params allocated",
            "cannot allocate %s hardware parameter structure (%%s)", layout))
    return false;
  bool ok = SetAll(pcm, hw, layout, rate);
  snd_pcm_hw_params_free(hw);
  if (ok) LogSys(LOG_PRIO_INFO, "%s", layout.freedText);
  return ok;
}

bool AudioEnabled(Works *works, char &enable) {
  return ReadSetupFlag(enable) == '1' && works->core.running;
}

bool PauseWhileEnabled(Works *works, char &enable, int64_t ms) {
  for (int64_t end = MonotonicMicros() + ms * 1000; AudioEnabled(works, enable);) {
    int64_t left = end - MonotonicMicros();
    if (left <= 0) return true;
    SleepMicros(std::min(left, PAUSE_SLICE_MS * 1000));
  }
  return false;
}

int OpenPcmWithRetries(Works *works, const char *name, snd_pcm_stream_t stream, char &enable,
                       snd_pcm_t **pcm, const std::function<void(int, int)> &attempt) {
  int result = -ENODEV;
  for (int n = 1; n <= AUDIO_OPEN_ATTEMPTS; n++) {
    result = snd_pcm_open(pcm, name, stream, 0);
    attempt(result, n);
    if (result == 0) break;
    if (n < AUDIO_OPEN_ATTEMPTS && !PauseWhileEnabled(works, enable, AUDIO_OPEN_PAUSE_MS)) break;
  }
  return result;
}

bool PcmStep(int result, const char *okText, const char *failFormat, bool lineEnd) {
  if (result >= 0) {
    if (okText) LogSys(LOG_PRIO_INFO, "%s", okText);
    return true;
  }
  std::string text = StrPrintf(failFormat, snd_strerror(result));
  LogSys(LOG_PRIO_ERR, "%s", text.c_str());
  LogErr("%s%s", text.c_str(), lineEnd ? "\n" : "");
  return false;
}
