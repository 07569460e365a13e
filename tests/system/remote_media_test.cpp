// Remote audio and the receiver's spectrum on loopback: two units joined,
// each hearing the other's capture, and one unit facing a test-side peer
// that selects the USB spectrum and sends audio of its own. Each test waits
// on what the units log and print, with wide margins; levels, frequencies
// and silences come from the simulated sound devices' reports.
#include <gtest/gtest.h>
#include <libusb-1.0/libusb.h>
#include <opus/opus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/support/chunked_message.h"
#include "tests/support/sim_report.h"
#include "tests/support/sim_unit.h"
#include "tests/support/wait.h"
#include "tests/support/ws_peer.h"

namespace {
constexpr double START_LIMIT = SIM_UNIT_START_LIMIT;
constexpr double EVENT_LIMIT = SIM_UNIT_EVENT_LIMIT;
constexpr int PERIOD = 480;  // Multiplier 2
constexpr int OPUS_BITRATE = 32000;


std::string AudioSetup(char role, int port, int compress) {
  std::string setup = "WebSocket: " + std::string(1, role) + "\nTcpPort: " + std::to_string(port) +
                      "\nEnableRead: 1\nEnableWrite: 1\nInChannels: 1\nMultiplier: 2\n"
                      "AudioCompress: " +
                      std::to_string(compress) + "\n";
  return role == '2' ? setup + "Server: 127.0.0.1\n" : setup;
}

// A number of the report's "audio" section (its playback part for the
// playback figures).
double AudioFigure(const std::string &report, const std::string &key) {
  std::string audio = ReportSection(report, "audio");
  std::smatch m;
  if (!std::regex_search(audio, m, std::regex("\"" + key + "\":(-?[0-9.e+]+)"))) return NAN;
  return std::stod(m[1]);
}

std::vector<long> SilentGaps(const std::string &report) {
  std::string audio = ReportSection(report, "audio");
  std::smatch m;
  std::vector<long> gaps;
  if (!std::regex_search(audio, m, std::regex("\"silentGaps\":\\[([0-9,]*)\\]"))) return gaps;
  std::stringstream list(m[1]);
  for (std::string item; std::getline(list, item, ',');) gaps.push_back(std::stol(item));
  return gaps;
}

// When the event was applied, in seconds of the run; -1 when it was not.
double AppliedAt(const std::string &report, const std::string &event) {
  std::smatch m;
  std::regex applied("\"applied\":([0-9.e+-]+),\"event\":\"0 " + event + "\"");
  return std::regex_search(report, m, applied) ? std::stod(m[1]) : -1;
}

void ExpectTone(const std::string &report, double hz, double dbfs, double tolerance) {
  EXPECT_NEAR(AudioFigure(report, "frequency"), hz, 5) << ReportSection(report, "audio");
  double left = AudioFigure(report, "levelLeft"), right = AudioFigure(report, "levelRight");
  EXPECT_NEAR(left, dbfs, tolerance);
  EXPECT_NEAR(right, left, 0.2);  // mono capture on both channels
}
}  // namespace

class TwoUnits : public ::testing::TestWithParam<int> {};

TEST_P(TwoUnits, EachPlaysTheOthersCaptureAndThePlaybackComesBackAfterAnUnplug) {
  const int compress = GetParam();
  const bool raw = compress == 0;
  int port = FreeLoopbackPort();
  // The server's device needs 30 attempts to open in each direction.
  SimUnit server("media-server", AudioSetup('1', port, compress),
                 "0 audio tone 700 -26\n0 audio open-failures 29\n");
  SimUnit client("media-client", AudioSetup('2', port, compress), "0 audio tone 1000 -20\n");
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(client.Logged("Websocket Connected", START_LIMIT)) << client.Output();
  ASSERT_TRUE(server.Printed("EIK 2 audio in hw:1 (30)\nEIK 3 audio in hw:1\n", START_LIMIT));
  ASSERT_TRUE(server.Printed("EIK 2 audio out 0 (30)\n", START_LIMIT));
  ASSERT_TRUE(client.Printed("output audio interface prepared\n", START_LIMIT));
  // Some seconds of the client's capture played at the server.
  ASSERT_TRUE(server.Logged("EIK, SO 03", START_LIMIT, 400));

  if (raw) {
    // The server's sound device goes away: both audio threads end with their
    // errors and the remote fault, and the error key starts them again.
    server.Event("audio unplug");
    ASSERT_TRUE(server.Printed("th_leggi ERR\n"));
    ASSERT_TRUE(server.Printed("th_scrivi ERR\n"));
    EXPECT_NE(server.Output().find("err:9\n"), std::string::npos);
    EXPECT_NE(server.Output().find("err:10\n"), std::string::npos);
    server.Event("audio plug");
    server.Event("unit error-key");
    ASSERT_TRUE(server.Printed(">>> RESTART REMOTE: 1 1 audio")) << Tail(server.Output());
    ASSERT_TRUE(server.Printed("Th_leggi start\n", EVENT_LIMIT, 2));
    ASSERT_TRUE(server.Printed("output audio interface prepared\n", START_LIMIT, 2));
    int played = CountOf(server.Log(), "EIK, SO 03");
    ASSERT_TRUE(server.Logged("EIK, SO 03", EVENT_LIMIT, played + 200));
  }
  ASSERT_EQ(client.Stop(), 0);
  ASSERT_EQ(server.Stop(), 0);

  std::string serverReport = server.Report(), clientReport = client.Report();
  double tolerance = raw ? 1 : 3;
  ExpectTone(serverReport, 1000, -20, tolerance);
  ExpectTone(clientReport, 700, -26, tolerance);
  if (raw) {
    double restart = AppliedAt(serverReport, "unit error-key");
    ASSERT_GT(restart, 0) << serverReport;
    EXPECT_GT(AudioFigure(serverReport, "lastSound"), restart + 1)
        << ReportSection(serverReport, "audio");
  }
}

INSTANTIATE_TEST_SUITE_P(RemoteMedia, TwoUnits, ::testing::Values(0, OPUS_BITRATE),
                         [](const auto &info) { return info.param ? "Opus" : "Raw"; });

namespace {
// Spectrum lines as a peer puts them together from their chunks.
class LineReader {
 public:
  explicit LineReader(WsPeer &peer) : peer_(peer) {}
  std::vector<uint8_t> Next() { return ReadChunkedMessage(peer_, "SP", EVENT_LIMIT); }
  // Reads lines until one satisfies `good` (the scene takes a moment to
  // change); false after many lines.
  template <typename Pred>
  bool Until(Pred good) {
    for (int i = 0; i < 300; i++) {
      std::vector<uint8_t> line = Next();
      if (line.empty()) return false;
      if (good(line)) return true;
    }
    return false;
  }

 private:
  WsPeer &peer_;
};

int PeakOf(const std::vector<uint8_t> &line) {
  return int(std::max_element(line.begin(), line.end()) - line.begin());
}

// A tone's peak stands well above the line around it.
bool PeakAt(const std::vector<uint8_t> &line, int at) {
  if (at < 10 || at + 10 >= int(line.size())) return false;
  return line[at] > 100 && line[at] > line[at - 10] + 20 && line[at] > line[at + 10] + 20;
}

// Opus packets of a 1 kHz tone at −20 dBFS, period after period.
class ToneEncoder {
 public:
  ToneEncoder() {
    int err = 0;
    encoder_ = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &err);
    opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(OPUS_BITRATE));
  }
  ~ToneEncoder() { opus_encoder_destroy(encoder_); }
  std::vector<uint8_t> Next() {
    std::vector<int16_t> pcm(2 * PERIOD);
    for (int i = 0; i < PERIOD; i++, n_++)
      pcm[2 * i] = pcm[2 * i + 1] =
          int16_t(3277 * std::sin(2 * std::numbers::pi * 1000.0 * double(n_) / 48000));
    std::vector<uint8_t> packet(1500);
    packet.resize(size_t(opus_encode(encoder_, pcm.data(), PERIOD, packet.data(), 1500)));
    return packet;
  }

 private:
  OpusEncoder *encoder_;
  long n_ = 0;
};

std::vector<uint8_t> AudioFrame(const std::vector<uint8_t> &packet) {
  uint32_t n = uint32_t(packet.size());
  const uint8_t head[10] = {0x82,
                            126,
                            uint8_t((n + 6) >> 8),
                            uint8_t(n + 6),
                            'S',
                            'O',
                            uint8_t(n >> 24),
                            uint8_t(n >> 16),
                            uint8_t(n >> 8),
                            uint8_t(n)};
  std::vector<uint8_t> frame(sizeof head + n);
  std::copy(head, head + sizeof head, frame.begin());
  std::copy(packet.begin(), packet.end(), frame.begin() + sizeof head);
  return frame;
}

// Reads and drops whatever the unit sends while the test only sends.
class Drain {
 public:
  explicit Drain(WsPeer &peer)
      : thread_([this, &peer] {
          PeerFrame f;
          while (!stop_) peer.Read(f, 0.1);
        }) {}
  ~Drain() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A burst of 16 periods at once (beyond the fill limit of 10), then two
// seconds of periods in real time with one corrupt packet among them.
void SendBurstAndStream(WsPeer &peer) {
  ToneEncoder tone;
  for (int i = 0; i < 16; i++) ASSERT_TRUE(peer.Send(AudioFrame(tone.Next())));
  auto next = std::chrono::steady_clock::now();
  for (int i = 0; i < 200; i++) {
    std::vector<uint8_t> packet = tone.Next();
    if (i == 100) packet = {0xFF, 0x00};  // code 3 with no frames: does not decode
    ASSERT_TRUE(peer.Send(AudioFrame(packet)));
    next += std::chrono::milliseconds(10);
    // A late period is sent at once, never a catching-up burst.
    next = std::max(next, std::chrono::steady_clock::now());
    std::this_thread::sleep_until(next);
  }
}
}  // namespace

TEST(RemoteMedia, APeerSeesTheReceiversSpectrumAndItsOwnAudioIsPlayedWithinTheFillLimit) {
  int port = FreeLoopbackPort();
  SimUnit unit("media-peer", AudioSetup('1', port, OPUS_BITRATE) + "EnableFFT: 1\n",
               "0 receiver tone 0 -30\n");
  ASSERT_TRUE(unit.Start());
  ASSERT_TRUE(unit.Logged("Listening on port " + std::to_string(port), START_LIMIT));
  // A peer that stops reading loses its connection: it joins once the
  // stream runs, and reads (or drains) from then on.
  ASSERT_TRUE(unit.Logged("SYN transfer starting", START_LIMIT));
  WsPeer peer;
  ASSERT_TRUE(peer.Join(port, 30));
  LineReader lines(peer);

  // The USB source, 2048 points: the receiver's centre in the middle, tones
  // above and below it 200 bins (of 93.75 Hz) away.
  ASSERT_TRUE(peer.Send(ShortBinary("ST", "VORNFT01")));
  ASSERT_TRUE(lines.Until([](const auto &l) { return l.size() == 854 && PeakOf(l) == 427; }))
      << Tail(unit.Output());
  unit.Event("receiver silence");
  unit.Event("receiver tone 18750 -30");
  unit.Event("receiver tone -18750 -40");
  ASSERT_TRUE(lines.Until([](const auto &l) { return PeakAt(l, 527) && PeakAt(l, 327); }));
  EXPECT_FALSE(PeakAt(lines.Next(), 427));
  unit.Event("receiver silence");
  ASSERT_TRUE(lines.Until([](const auto &l) { return l[527] == 0; }));
  std::vector<uint8_t> silent = lines.Next();
  EXPECT_EQ(std::count(silent.begin(), silent.end(), 0), 854);

  // 4096 points: 1706 of them, 46.875 Hz apart.
  ASSERT_TRUE(peer.Send(ShortBinary("ST", "VORNFT02")));
  unit.Event("receiver tone 18796.875 -30");
  ASSERT_TRUE(lines.Until([](const auto &l) { return l.size() == 1706 && PeakOf(l) == 1054; }));
  ASSERT_TRUE(peer.Send(ShortBinary("ST", "VORNFT00")));

  {
    Drain drain(peer);
    ASSERT_TRUE(unit.Logged("output audio interface prepared"));
    SendBurstAndStream(peer);
    ASSERT_TRUE(unit.Logged("output audio interface reset"));
    // An unplugged receiver ends the stream with error 5; the link goes on.
    unit.Event("receiver unplug");
    ASSERT_TRUE(unit.Logged("TAVORead Operations end")) << Tail(unit.Log());
    // In flight, or refused on its resubmission: the same unplug.
    EXPECT_TRUE(
        unit.Logged("CB result: Nodevice", 0) ||
        unit.Logged("libusb_submit_transfer failed (" + std::to_string(LIBUSB_ERROR_NO_DEVICE), 0))
        << Tail(unit.Log());
    EXPECT_TRUE(unit.Printed("err:5\n"));
  }
  PeerFrame f;
  ASSERT_TRUE(peer.ReadTagged("ST", f));
  ASSERT_TRUE(peer.ReadTagged("ST", f));
  ASSERT_EQ(unit.Stop(), 0);

  std::string report = unit.Report();
  // The burst resets the queue; a stall of the receiving thread on a busy
  // host may bunch the stream past the fill limit once more. Each reset
  // drops what was queued.
  int resets = CountOf(unit.Log(), "output audio interface reset");
  EXPECT_GE(resets, 1);
  EXPECT_EQ(AudioFigure(report, "drops"), resets);
  // The one corrupt packet: one period of silence amid the tone.
  std::vector<long> gaps = SilentGaps(report);
  EXPECT_EQ(std::count(gaps.begin(), gaps.end(), PERIOD), 1) << ReportSection(report, "audio");
  EXPECT_NEAR(AudioFigure(report, "frequency"), 1000, 5);
  EXPECT_NE(ReportSection(report, "receiver").find("\"plugged\":false"), std::string::npos);
}
