#include "sim/audio/playback_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {
constexpr int BLOCK = 480;                 // frames judged together
constexpr int SOUND_THRESHOLD = 64;        // a block with a louder sample sounds
constexpr int ONSET_THRESHOLD = 1000;      // a beep has begun
constexpr double QUIET_BEFORE_BEEP = 0.3;  // seconds below the onset level before a beep
constexpr long long MIN_GAP = 32;          // shorter zero runs are the waveform's own

struct PlayedRun {
  long long first;  // frame in the recording
  double t;         // monotonic seconds it was played
  unsigned rate;
};

struct Recording {
  std::vector<int16_t> samples;  // interleaved stereo
  std::vector<PlayedRun> runs;
  long long Frames() const { return static_cast<long long>(samples.size() / 2); }
  int16_t Left(long long f) const { return samples[2 * f]; }
  int16_t Right(long long f) const { return samples[2 * f + 1]; }
  unsigned Rate() const { return runs.empty() ? 48000 : runs.front().rate; }
  double TimeOf(long long frame) const {
    auto it = std::upper_bound(runs.begin(), runs.end(), frame,
                               [](long long f, const PlayedRun &r) { return f < r.first; });
    if (it == runs.begin()) return -1;
    --it;
    return it->t + double(frame - it->first) / it->rate;
  }
};

Recording Read(const SimAudioFiles &files) {
  Recording rec;
  std::ifstream raw(files.raw, std::ios::binary);
  std::stringstream bytes;
  bytes << raw.rdbuf();
  const std::string data = bytes.str();
  rec.samples.resize(data.size() / 4 * 2);
  for (size_t i = 0; i < rec.samples.size(); i++)
    rec.samples[i] = int16_t(uint8_t(data[2 * i]) | uint8_t(data[2 * i + 1]) << 8);
  std::ifstream index(files.index);
  double t;
  long long frames, at = 0;
  unsigned rate;
  while (index >> t >> frames >> rate && at < rec.Frames()) {
    rec.runs.push_back({at, t, rate});
    at += frames;
  }
  return rec;
}

bool Sounds(const Recording &rec, long long block) {
  long long end = std::min(rec.Frames(), (block + 1) * BLOCK);
  for (long long f = block * BLOCK; f < end; f++)
    if (std::abs(rec.Left(f)) > SOUND_THRESHOLD || std::abs(rec.Right(f)) > SOUND_THRESHOLD)
      return true;
  return false;
}

double Dbfs(double sumSquares, long long count) {
  if (count == 0 || sumSquares <= 0) return -200;
  return 20 * std::log10(std::sqrt(sumSquares / double(count)) * std::sqrt(2.0) / 32768);
}

// Rising zero crossings of the left channel, interpolated between samples;
// the median period between them, so that the odd discontinuity of a reset
// or a repeated period does not bias the figure.
double Frequency(const Recording &rec, long long first, long long end) {
  std::vector<double> periods;
  double previous = -1;
  for (long long f = first + 1; f < end; f++) {
    int a = rec.Left(f - 1), b = rec.Left(f);
    if (a >= 0 || b < 0) continue;
    double at = double(f - 1) + double(-a) / double(b - a);
    if (previous >= 0) periods.push_back(at - previous);
    previous = at;
  }
  if (periods.empty()) return 0;
  auto middle = periods.begin() + periods.size() / 2;
  std::nth_element(periods.begin(), middle, periods.end());
  return rec.Rate() / *middle;
}

// Levels over the sounding blocks; frequency over the longest run of them,
// without its first and last block.
void Measure(const Recording &rec, PlaybackAnalysis &a) {
  double sums[2] = {0, 0};
  long long count = 0, runStart = 0, bestStart = 0, bestLength = 0;
  long long blocks = (rec.Frames() + BLOCK - 1) / BLOCK;
  for (long long b = 0; b <= blocks; b++) {
    if (b < blocks && Sounds(rec, b)) {
      for (long long f = b * BLOCK; f < std::min(rec.Frames(), (b + 1) * BLOCK); f++, count++) {
        sums[0] += double(rec.Left(f)) * rec.Left(f);
        sums[1] += double(rec.Right(f)) * rec.Right(f);
      }
      continue;
    }
    if (b - runStart > bestLength) {
      bestLength = b - runStart;
      bestStart = runStart;
    }
    runStart = b + 1;
  }
  a.levelDbfs[0] = Dbfs(sums[0], count);
  a.levelDbfs[1] = Dbfs(sums[1], count);
  if (bestLength > 2)
    a.frequencyHz = Frequency(rec, (bestStart + 1) * BLOCK, (bestStart + bestLength - 1) * BLOCK);
}

bool Loud(const Recording &rec, long long f, int threshold) {
  return std::abs(rec.Left(f)) > threshold || std::abs(rec.Right(f)) > threshold;
}

void FindGapsAndBeeps(const Recording &rec, PlaybackAnalysis &a) {
  long long first = -1, last = -1;
  for (long long f = 0; f < rec.Frames(); f++) {
    if (!Loud(rec, f, SOUND_THRESHOLD)) continue;
    if (first < 0) first = f;
    last = f;
  }
  if (first < 0) return;
  a.firstSoundAt = rec.TimeOf(first);
  a.lastSoundAt = rec.TimeOf(last);
  long long zeros = 0, quiet = 0;
  const long long quietNeeded = static_cast<long long>(QUIET_BEFORE_BEEP * rec.Rate());
  for (long long f = first; f <= last; f++) {
    bool zero = rec.Left(f) == 0 && rec.Right(f) == 0;
    if (zero) zeros++;
    if (!zero && zeros >= MIN_GAP) a.silentGaps.push_back(zeros);
    if (!zero) zeros = 0;
    if (!Loud(rec, f, ONSET_THRESHOLD)) {
      quiet++;
      continue;
    }
    if (quiet >= quietNeeded) a.beepDelaysMs.push_back(std::fmod(rec.TimeOf(f), 1.0) * 1000);
    quiet = 0;
  }
}
}  // namespace

PlaybackAnalysis AnalysePlayback(const SimAudioFiles &files) {
  Recording rec = Read(files);
  PlaybackAnalysis a;
  a.frames = rec.Frames();
  Measure(rec, a);
  FindGapsAndBeeps(rec, a);
  return a;
}
