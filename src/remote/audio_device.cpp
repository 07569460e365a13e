#include "remote/audio_device.h"

#include <algorithm>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"

namespace {
constexpr int64_t PAUSE_SLICE_MS = 10;
}  // namespace

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
