// The simulator's sound device as an ALSA external I/O plugin, loaded by the
// unit through the sandbox's ALSA configuration:
//   pcm.NAME { type kestra_sim dir "<sandbox>/var/sim" }
// Both directions run in real time from the monotonic clock. Capture plays
// the tone of the shared state; playback records each frame with the time it
// is played (a frame thrown away before its time is never played). An
// unplugged device refuses to open and fails every call; an overrun or
// underrun is reported as ALSA reports it (-EPIPE).
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <numbers>
#include <string>
#include <vector>

#include "sim/audio/audio_shared.h"

namespace {
constexpr int BYTES_PER_SAMPLE = 2;

int64_t NowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

struct SimPcm {
  snd_pcm_ioplug_t io{};
  SimAudioFiles files;
  SimAudioShared *shared = nullptr;
  int direction = SIM_AUDIO_CAPTURE;
  int timerFd = -1;
  bool running = false;
  int64_t startUs = 0;
  std::vector<int16_t> ring;     // playback: the device buffer, stereo frames
  snd_pcm_uframes_t played = 0;  // playback: frames recorded since prepare
  FILE *raw = nullptr, *index = nullptr;
};

SimPcm *Of(snd_pcm_ioplug_t *io) { return static_cast<SimPcm *>(io->private_data); }

bool Plugged(const SimPcm *p) { return p->shared->plugged.load() != 0; }

snd_pcm_uframes_t Elapsed(const SimPcm *p) {
  if (!p->running) return 0;
  return snd_pcm_uframes_t((NowUs() - p->startUs) * int64_t(p->io.rate) / 1000000);
}

int16_t *FrameAt(const snd_pcm_channel_area_t *areas, unsigned channel, snd_pcm_uframes_t frame) {
  const snd_pcm_channel_area_t &a = areas[channel];
  return reinterpret_cast<int16_t *>(static_cast<char *>(a.addr) + (a.first + frame * a.step) / 8);
}

// The capture side's sample at absolute time `t` seconds.
int16_t ToneAt(const SimAudioShared *s, double t) {
  double hz = s->toneMilliHz.load() / 1000.0;
  int beep = s->beepMs.load();
  if (hz <= 0 || (beep > 0 && std::fmod(t, 1.0) * 1000 >= beep)) return 0;
  double amplitude = 32767 * std::pow(10.0, s->toneCentiDbfs.load() / 2000.0);
  return int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * std::fmod(hz * t, 1.0))));
}

// Playback: the frames played by now go to the recording, with the time the
// first of them was played.
void Record(SimPcm *p, snd_pcm_uframes_t upTo) {
  if (upTo <= p->played || !p->raw) return;
  const snd_pcm_uframes_t size = p->io.buffer_size;
  if (p->shared->playedFrames.load() < SIM_AUDIO_RECORD_MAX_FRAMES) {
    double t = (p->startUs + double(p->played) * 1e6 / p->io.rate) / 1e6;
    fprintf(p->index, "%.6f %lu %u\n", t, static_cast<unsigned long>(upTo - p->played), p->io.rate);
    for (snd_pcm_uframes_t f = p->played; f < upTo; f++)
      fwrite(&p->ring[2 * (f % size)], BYTES_PER_SAMPLE, 2, p->raw);
  }
  p->shared->playedFrames += int64_t(upTo - p->played);
  p->played = upTo;
}

snd_pcm_sframes_t CapturePointer(SimPcm *p) {
  snd_pcm_uframes_t hw = Elapsed(p);
  if (p->running && hw >= p->io.appl_ptr + p->io.buffer_size) {
    p->shared->xruns[SIM_AUDIO_CAPTURE]++;
    return -EPIPE;
  }
  return snd_pcm_sframes_t((p->running ? hw : p->io.hw_ptr) % p->io.buffer_size);
}

snd_pcm_sframes_t PlaybackPointer(SimPcm *p) {
  if (!p->running) return snd_pcm_sframes_t(p->io.hw_ptr % p->io.buffer_size);
  snd_pcm_uframes_t hw = Elapsed(p);
  snd_pcm_uframes_t queued = p->io.appl_ptr;
  if (hw > queued && p->io.state == SND_PCM_STATE_RUNNING) {
    Record(p, queued);
    p->shared->xruns[SIM_AUDIO_PLAYBACK]++;
    return -EPIPE;
  }
  if (hw > queued) hw = queued;  // draining: the last frame has been played
  Record(p, hw);
  return snd_pcm_sframes_t(hw % p->io.buffer_size);
}

snd_pcm_sframes_t Pointer(snd_pcm_ioplug_t *io) {
  SimPcm *p = Of(io);
  if (!Plugged(p)) return -ENODEV;
  return p->direction == SIM_AUDIO_CAPTURE ? CapturePointer(p) : PlaybackPointer(p);
}

snd_pcm_sframes_t Transfer(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas,
                           snd_pcm_uframes_t offset, snd_pcm_uframes_t size) {
  SimPcm *p = Of(io);
  if (!Plugged(p)) return -ENODEV;
  for (snd_pcm_uframes_t i = 0; i < size; i++) {
    snd_pcm_uframes_t at = io->appl_ptr + i;
    if (p->direction == SIM_AUDIO_CAPTURE) {
      int16_t v = ToneAt(p->shared, (p->startUs + double(at) * 1e6 / io->rate) / 1e6);
      for (unsigned c = 0; c < io->channels; c++) *FrameAt(areas, c, offset + i) = v;
    } else {
      int16_t *frame = &p->ring[2 * (at % io->buffer_size)];
      frame[0] = *FrameAt(areas, 0, offset + i);
      frame[1] = *FrameAt(areas, io->channels > 1 ? 1 : 0, offset + i);
    }
  }
  if (p->direction == SIM_AUDIO_CAPTURE) p->shared->capturedFrames += int64_t(size);
  return snd_pcm_sframes_t(size);
}

int Start(snd_pcm_ioplug_t *io) {
  SimPcm *p = Of(io);
  if (!Plugged(p)) return -ENODEV;
  p->startUs = NowUs();
  p->running = true;
  return 0;
}

int Stop(snd_pcm_ioplug_t *io) {
  SimPcm *p = Of(io);
  if (p->direction == SIM_AUDIO_PLAYBACK && p->running) {
    snd_pcm_uframes_t hw = Elapsed(p), queued = io->appl_ptr;
    Record(p, hw < queued ? hw : queued);
    if (hw < queued) p->shared->drops++;
  }
  p->running = false;
  if (p->raw) fflush(p->raw);
  if (p->index) fflush(p->index);
  return 0;
}

int Prepare(snd_pcm_ioplug_t *io) {
  SimPcm *p = Of(io);
  if (!Plugged(p)) return -ENODEV;
  p->running = false;
  p->played = 0;
  return 0;
}

int HwParams(snd_pcm_ioplug_t *io, snd_pcm_hw_params_t *) {
  SimPcm *p = Of(io);
  if (p->direction == SIM_AUDIO_PLAYBACK) p->ring.assign(2 * io->buffer_size, 0);
  return 0;
}

// The timer wakes waiters; the device is ready when frames can move.
int PollRevents(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds,
                unsigned short *revents) {
  SimPcm *p = Of(io);
  uint64_t ticks;
  if (nfds > 0 && read(pfd[0].fd, &ticks, sizeof ticks) < 0 && errno != EAGAIN) return -errno;
  *revents = 0;
  if (!Plugged(p)) {
    *revents = POLLERR;
  } else if (p->running || p->direction == SIM_AUDIO_PLAYBACK) {
    snd_pcm_uframes_t hw = Elapsed(p), appl = io->appl_ptr;
    if (p->direction == SIM_AUDIO_CAPTURE && hw > appl) *revents = POLLIN;
    if (p->direction == SIM_AUDIO_PLAYBACK && appl < (hw < appl ? appl : hw) + io->buffer_size)
      *revents = POLLOUT;
  }
  return 0;
}

int Close(snd_pcm_ioplug_t *io) {
  SimPcm *p = Of(io);
  Stop(io);
  if (p->raw) fclose(p->raw);
  if (p->index) fclose(p->index);
  if (p->timerFd >= 0) close(p->timerFd);
  if (p->shared) munmap(p->shared, sizeof(SimAudioShared));
  delete p;
  return 0;
}

snd_pcm_ioplug_callback_t MakeCallbacks() {
  snd_pcm_ioplug_callback_t c{};
  c.start = Start;
  c.stop = Stop;
  c.pointer = Pointer;
  c.transfer = Transfer;
  c.close = Close;
  c.hw_params = HwParams;
  c.prepare = Prepare;
  c.poll_revents = PollRevents;
  return c;
}
const snd_pcm_ioplug_callback_t CALLBACKS = MakeCallbacks();

SimAudioShared *MapShared(const std::string &path) {
  int fd = open(path.c_str(), O_RDWR);
  if (fd < 0) return nullptr;
  void *at = mmap(nullptr, sizeof(SimAudioShared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (at == MAP_FAILED) return nullptr;
  auto *shared = static_cast<SimAudioShared *>(at);
  if (shared->magic == SIM_AUDIO_MAGIC) return shared;
  munmap(at, sizeof(SimAudioShared));
  return nullptr;
}

// What a USB codec offers: 16-bit frames, one or two channels, 44.1 or 48 kHz.
int Constrain(snd_pcm_ioplug_t *io) {
  const unsigned access[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
  const unsigned formats[] = {SND_PCM_FORMAT_S16_LE};
  const unsigned rates[] = {44100, 48000};
  int r = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_ACCESS, 1, access);
  if (r >= 0) r = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats);
  if (r >= 0) r = snd_pcm_ioplug_set_param_list(io, SND_PCM_IOPLUG_HW_RATE, 2, rates);
  if (r >= 0) r = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_CHANNELS, 1, 2);
  if (r >= 0) r = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
  if (r >= 0) r = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 128, 65536);
  if (r >= 0)
    r = snd_pcm_ioplug_set_param_minmax(io, SND_PCM_IOPLUG_HW_BUFFER_BYTES, 4096, 1 << 19);
  return r;
}

int StartTimer(SimPcm *p) {
  p->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (p->timerFd < 0) return -errno;
  itimerspec tick{};
  tick.it_interval.tv_nsec = tick.it_value.tv_nsec = SIM_AUDIO_TICK_US * 1000L;
  return timerfd_settime(p->timerFd, 0, &tick, nullptr) == 0 ? 0 : -errno;
}

bool OpenRecording(SimPcm *p) {
  p->raw = fopen(p->files.raw.c_str(), "ab");
  p->index = fopen(p->files.index.c_str(), "a");
  return p->raw && p->index;
}

// A refused open counts down the failures the scenario asked for.
int Refusal(SimAudioShared *shared, int direction) {
  if (!shared->plugged.load()) return -ENODEV;
  for (int left = shared->openFailures[direction].load(); left > 0;)
    if (shared->openFailures[direction].compare_exchange_weak(left, left - 1)) return -EBUSY;
  return 0;
}

int OpenSimPcm(snd_pcm_t **pcmp, const char *name, const std::string &dir, snd_pcm_stream_t stream,
               int mode) {
  auto *p = new SimPcm;
  p->files = SimAudioFilesIn(dir);
  p->direction = stream == SND_PCM_STREAM_CAPTURE ? SIM_AUDIO_CAPTURE : SIM_AUDIO_PLAYBACK;
  p->shared = MapShared(p->files.state);
  int r = p->shared ? Refusal(p->shared, p->direction) : -ENOENT;
  if (r == 0) r = StartTimer(p);
  if (r == 0 && p->direction == SIM_AUDIO_PLAYBACK && !OpenRecording(p)) r = -EIO;
  if (r == 0) {
    p->io.version = SND_PCM_IOPLUG_VERSION;
    p->io.name = "kestra simulated USB audio";
    p->io.callback = &CALLBACKS;
    p->io.private_data = p;
    p->io.poll_fd = p->timerFd;
    p->io.poll_events = POLLIN;
    p->io.flags = SND_PCM_IOPLUG_FLAG_MONOTONIC;
    r = snd_pcm_ioplug_create(&p->io, name, stream, mode);
    if (r == 0) {
      p->shared->opens[p->direction]++;
      r = Constrain(&p->io);
      if (r == 0)
        *pcmp = p->io.pcm;
      else
        snd_pcm_ioplug_delete(&p->io);  // closes it, and `p` with it
      return r;
    }
  }
  p->io.private_data = p;
  Close(&p->io);
  return r;
}
}  // namespace

extern "C" {
SND_PCM_PLUGIN_DEFINE_FUNC(kestra_sim) {
  std::string dir;
  snd_config_iterator_t i, next;
  snd_config_for_each(i, next, conf) {
    snd_config_t *n = snd_config_iterator_entry(i);
    const char *id = nullptr;
    if (snd_config_get_id(n, &id) < 0) continue;
    const char *value = nullptr;
    if (strcmp(id, "dir") == 0 && snd_config_get_string(n, &value) >= 0) dir = value;
  }
  (void)root;
  if (dir.empty()) {
    SNDERR("kestra_sim: no dir given");
    return -EINVAL;
  }
  return OpenSimPcm(pcmp, name, dir, stream, mode);
}
SND_PCM_PLUGIN_SYMBOL(kestra_sim)
}
