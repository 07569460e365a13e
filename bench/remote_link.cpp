// The remote link's figures: a screen image from the peer put together and
// shown (raw and JPEG, the unit's frame reader and message handling fed from
// memory), and two kestra-sim units joined over loopback: the CAT round trip
// from the client's transceiver to the server's and back, and the status
// frames the client receives per second.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "codec/jpeg/jpeg_encoder.h"
#include "core/log.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "platform/display_device.h"
#include "remote/ws_frame.h"
#include "remote/ws_messages.h"
#include "settings/setup_record.h"

namespace {
double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// ---- A screen image from the peer ---------------------------------------

struct Stream {
  std::vector<uint8_t> bytes;
  size_t at = 0;
};

bool ReadStream(void *context, uint8_t *buf, size_t n, bool) {
  auto *s = static_cast<Stream *>(context);
  if (n > s->bytes.size() - s->at) return false;
  memcpy(buf, s->bytes.data() + s->at, n);
  s->at += n;
  return true;
}

// The chunk frames of an image, as the peer's sender writes them.
std::vector<uint8_t> ChunkStream(const std::vector<uint8_t> &image) {
  std::vector<uint8_t> out;
  uint8_t frame[WS_CHUNK_FRAME];
  for (uint32_t offset = 0; offset < image.size(); offset += WS_CHUNK_DATA) {
    BuildChunkFrame(frame, "FB", image.data(), uint32_t(image.size()), offset);
    out.insert(out.end(), frame, frame + sizeof frame);
  }
  return out;
}

void ShowImage(benchmark::State &state, bool jpeg) {
  UseMemoryDisplay();
  std::unique_ptr<FrameBuffer> fb = fbInit();
  auto setup = std::make_unique<SetupRecord>();
  auto works = std::make_unique<Works>();
  works->cfg.setup = setup.get();
  works->display.fb = fb.get();
  std::vector<uint8_t> image(fb->memSize);
  for (size_t i = 0; i < image.size(); i++)
    image[i] = uint8_t((i / 4 % 800) * 255 / 800 + i / 12800);
  if (jpeg) {
    int size = int(image.size());
    std::vector<uint8_t> out(image.size());
    jpegenc::Params params;
    params.quality = 80;
    jpegenc::encodeToMemory(out.data(), size, fb->width, fb->height, 4, image.data(), params);
    out.resize(size_t(size));
    image = out;
  }
  Stream stream{ChunkStream(image)};
  auto frame = std::make_unique<WsFrame>();
  LogCapture quiet;
  for (auto _ : state) {
    WsSession session(WsRole::Client);
    stream.at = 0;
    WsSource source{ReadStream, &stream};
    while (ReadWsFrame(source, *frame, WS_CLIENT_READ_TEXTS) == WsRead::Frame)
      HandleWsFrame(works.get(), session, *frame);
  }
  state.counters["chunks"] = double(stream.bytes.size() / WS_CHUNK_FRAME);
  UseDeviceDisplay();
}

void BM_ScreenImageRaw(benchmark::State &state) { ShowImage(state, false); }
void BM_ScreenImageJpeg(benchmark::State &state) { ShowImage(state, true); }

// ---- Two units joined ---------------------------------------------------

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

struct Child {
  pid_t pid = -1;
  int out = -1;
};

Child RunSim(const std::string &root, double seconds) {
  int fds[2];
  Child child;
  if (pipe(fds) != 0) return child;
  child.pid = fork();
  if (child.pid == 0) {
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[0]);
    std::string duration = std::to_string(seconds);
    std::string scenario = root + "/scenario.txt", report = root + "/report.json";
    execl(KESTRA_SIM_BINARY, KESTRA_SIM_BINARY, "--root", root.c_str(), "--headless", "--duration",
          duration.c_str(), "--scenario", scenario.c_str(), "--report", report.c_str(), nullptr);
    _exit(127);
  }
  close(fds[1]);
  child.out = fds[0];
  return child;
}

std::string MakeRoot(const std::string &setup, const std::string &scenario) {
  char dir[] = "/tmp/kestra-bench-remote-XXXXXX";
  std::string root = mkdtemp(dir);
  std::filesystem::create_directories(root + "/opt/set");
  std::ofstream(root + "/opt/set/setup.txt") << setup;
  std::ofstream(root + "/scenario.txt") << scenario;
  return root;
}

// Arrival times of the client's status lines, read as they come.
std::vector<double> StatusArrivals(int fd) {
  std::vector<double> arrivals;
  std::string pending;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) {
    pending.append(buf, size_t(n));
    for (size_t at; (at = pending.find("BUFFER Wsocket : ")) != std::string::npos;) {
      arrivals.push_back(Now());
      pending.erase(0, at + 1);
    }
    if (pending.size() > 64) pending.erase(0, pending.size() - 64);
  }
  return arrivals;
}

std::vector<std::pair<double, std::string>> Entries(const std::string &text,
                                                    const std::string &key) {
  std::vector<std::pair<double, std::string>> out;
  size_t at = text.find("\"" + key + "\":[");
  if (at == std::string::npos) return out;
  std::string part = text.substr(at, text.find(']', at) - at);
  std::regex entry("\\{\"t\":([0-9.e+-]+),(?:\"port\":\"cat\",)?\"text\":\"([^\"]*)\"\\}");
  for (std::sregex_iterator it(part.begin(), part.end(), entry), end; it != end; ++it)
    out.push_back({std::stod((*it)[1]), (*it)[2]});
  return out;
}

void BM_TwoUnitsJoined(benchmark::State &state) {
  constexpr double RUN = 60, FIRST_QUERY = 35;
  constexpr int QUERIES = 40;
  for (auto _ : state) {
    int port = FreePort();
    std::string common = "TcpPort: " + std::to_string(port) + "\nEnableCAT: 1\n";
    std::string queries = "0 trx extio off\n";
    for (int i = 0; i < QUERIES; i++)
      queries += std::to_string(FIRST_QUERY + i * 0.5) + " trx cat FA;\n";
    std::string server = MakeRoot("WebSocket: 1\n" + common, "");
    std::string client = MakeRoot("WebSocket: 2\nServer: 127.0.0.1\n" + common, queries);
    Child s = RunSim(server, RUN), c = RunSim(client, RUN);
    std::thread drain([&] {
      char buf[4096];
      while (read(s.out, buf, sizeof buf) > 0) {
      }
    });
    std::vector<double> arrivals = StatusArrivals(c.out);
    drain.join();
    waitpid(s.pid, nullptr, 0);
    waitpid(c.pid, nullptr, 0);

    std::stringstream report;
    report << std::ifstream(client + "/report.json").rdbuf();
    auto sent = Entries(report.str(), "catSent");
    auto received = Entries(report.str(), "commands");
    std::vector<double> trips;
    for (const auto &[t, text] : sent) {
      if (text != "FA;") continue;
      auto answer = std::find_if(received.begin(), received.end(), [&](const auto &r) {
        return r.first > t && r.second.rfind("FA000", 0) == 0;
      });
      if (answer != received.end()) trips.push_back(answer->first - t);
    }
    std::sort(trips.begin(), trips.end());
    if (!trips.empty()) {
      state.counters["cat_round_trips"] = double(trips.size());
      state.counters["cat_rtt_median_ms"] = trips[trips.size() / 2] * 1000;
      state.counters["cat_rtt_worst_ms"] = trips.back() * 1000;
    }
    // Over the last 20 s of the run, when the link is long up.
    if (arrivals.size() > 2) {
      double end = arrivals.back();
      auto from = std::lower_bound(arrivals.begin(), arrivals.end(), end - 20);
      state.counters["status_frames_per_s"] = double(arrivals.end() - from - 1) / (end - *from);
    }
    close(s.out);
    close(c.out);
    std::filesystem::remove_all(server);
    std::filesystem::remove_all(client);
  }
}

BENCHMARK(BM_ScreenImageRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenImageJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoUnitsJoined)->Unit(benchmark::kSecond)->Iterations(1);
}  // namespace

BENCHMARK_MAIN();
