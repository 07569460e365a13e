// One main-screen pass as the periodic timer composes it (background copy,
// about forty strings, the meters' lines, the button bar, copy to the
// screen), against the floor of its two full-screen memory copies.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "core/log.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "display/screen.h"
#include "display/text.h"
#include "platform/display_device.h"
#include "platform/paths.h"
#include "sim/world/sandbox.h"

namespace {
struct Display {
  Display() {
    char dir[] = "/tmp/kestra-bench-XXXXXX";
    root = mkdtemp(dir);
    std::string error;
    if (!CreateSandbox(root, error)) fprintf(stderr, "bench: %s\n", error.c_str());
    SetPaths(PathsUnder(root));
    UseMemoryDisplay();
    LogCapture quiet;
    fb = fbInit();
    works->display.fb = fb.get();
    LoadFontSlots();
    LoadBackground(works.get(), "img1");
  }
  ~Display() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::string root;
  std::unique_ptr<Works> works = std::make_unique<Works>();
  std::unique_ptr<FrameBuffer> fb;
};

Display &Get() {
  static Display display;
  return display;
}

void Needle(FrameBuffer *fb, int px, int tipX, int tipY, uint8_t red) {
  for (int d = -1; d <= 1; d++) DrawLine(px + d, 260, tipX, tipY, red, 0, 0, fb, 0);
}

void Texts(FrameBuffer *fb) {
  const char *top = "IP:192.168.1.20 2026-12-08 10:00:00";
  putString(6, 780 - getStringSpace(6, top), 17, top, 255, 255, 255, fb);
  const char *status[] = {"KRVTAVO", "Coax:RX+TX", "Band:20m", "Att 0dB",
                          "Ant 1",   "Atu: On",    "Local"};
  const int statusX[] = {10, 125, 275, 415, 535, 615, 725};
  for (int i = 0; i < 7; i++) putString(8, statusX[i], 298, status[i], 0, 200, 255, fb);
  putString(8, 10, 327, "PA1:32.5°C   P2:31.0°C    CPU:47.2°C", 0, 200, 0, fb);
  putString(8, 415, 327, "PA Voltage: 13.8V       Current: 02.1A", 0, 200, 0, fb);
  putString(8, 155, 160, "FORWARD", 0, 0, 0, fb);
  putString(8, 180, 180, "45.0W", 0, 0, 0, fb);
  putString(8, 535, 160, "REFLECTED", 0, 0, 0, fb);
  putString(8, 565, 180, "03.5W", 0, 0, 0, fb);
  putString(4, 339, 52, "14.074MHz", 0, 0, 0, fb);
  putString(8, 390, 200, "TX", 255, 255, 255, fb);
  const char *line1[] = {"MEM", "IN-ATT", "ANT", "TUNE", "SET", "VIEW"};
  const char *line2[] = {"BANK1", "  0dB", "     1", "", "", "    1"};
  const int x1[] = {20, 143, 276, 409, 542, 675}, x2[] = {30, 153, 286, 419, 552, 695};
  for (int i = 0; i < 6; i++) {
    putString(0, x1[i], 445, line1[i], 250, 150, 0, fb);
    putString(1, x2[i], 472, line2[i], 250, 150, 0, fb);
  }
  for (int i = 0; i < 6; i++) {  // a full row of error tiles
    putString(10, 5 + 133 * i + 4, 390, "Comm. Error", 250, 250, 250, fb);
    putString(10, 5 + 133 * i + 4, 410, "Amplifier", 250, 250, 250, fb);
  }
}

void Lines(Works *works, FrameBuffer *fb) {
  const int boxes[][2] = {{1, 110},   {115, 260}, {265, 400}, {405, 520},
                          {525, 600}, {605, 710}, {715, 799}};
  for (auto &b : boxes) DrawRect(works, b[0], 278, b[1], 303, 200, 200, 200);
  DrawRect(works, 1, 307, 400, 332, 100, 100, 100);
  DrawRect(works, 405, 307, 799, 332, 100, 100, 100);
  const int faces[][2] = {{0, 129}, {133, 262}, {266, 395}, {399, 528}, {532, 661}, {665, 798}};
  for (auto &f : faces) {
    FillBox(f[0], 420, f[1], 480, 40, 40, 40, fb, 0);
    DrawHorizontalLine(f[0], 420, f[1], 120, 120, 120, fb, 0);
  }
  for (int x : {130, 263, 396, 529, 662, 799}) DrawLine(x, 420, x, 479, 120, 120, 120, fb, 0);
  FillBox(375, 175, 430, 210, 250, 0, 0, fb, 0);
  Needle(fb, 210, 305, 94, 255);
  Needle(fb, 590, 468, 118, 255);
}

void BM_TwoScreenCopies(benchmark::State &state) {
  FrameBuffer *fb = Get().fb.get();
  for (auto _ : state) {
    memcpy(fb->work, fb->back, fb->memSize);
    memcpy(fb->screen, fb->work, fb->memSize);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 2 * fb->memSize);
}
BENCHMARK(BM_TwoScreenCopies)->Unit(benchmark::kMicrosecond);

void BM_MainScreenPass(benchmark::State &state) {
  Works *works = Get().works.get();
  FrameBuffer *fb = Get().fb.get();
  for (auto _ : state) {
    fbSetBack(fb);
    Texts(fb);
    Lines(works, fb);
    fbRealize(fb);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MainScreenPass)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
