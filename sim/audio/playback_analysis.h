#pragma once
// What the simulated sound device played, worked out from its recording:
// how much, how loud on each channel, at what frequency, where exact silence
// interrupted the sound, and how late each beep began.
#include <string>
#include <vector>

#include "sim/audio/audio_shared.h"

struct PlaybackAnalysis {
  long long frames = 0;
  double firstSoundAt = -1, lastSoundAt = -1;  // monotonic seconds; -1 without sound
  double levelDbfs[2] = {-200, -200};          // peak-equivalent level of each channel's sound
  double frequencyHz = 0;                      // of the left channel's longest sound
  std::vector<long long> silentGaps;           // frames of exact silence amid the sound
  std::vector<double> beepDelaysMs;            // each beep's start after its whole second
};

PlaybackAnalysis AnalysePlayback(const SimAudioFiles &files);
