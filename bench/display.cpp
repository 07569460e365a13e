// One main-screen pass as the periodic timer composes it (background copy,
// top line, status area, error tiles, meters and their texts or the plot,
// copy to the screen), against the floor of its two full-screen memory
// copies; with and without the glyph cache.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "display/screen.h"
#include "display/text.h"
#include "platform/display_device.h"
#include "platform/paths.h"
#include "settings/setup_record.h"
#include "sim/world/sandbox.h"
#include "ui/main_screen.h"
#include "ui/plot.h"

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
    AttachRecords();
    initSetup(w);
    InitErrDescr(w);
    InitGrid();
    LoadFontSlots();
    FillReadings();
  }
  ~Display() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }

  void AttachRecords() {
    w->display.fb = fb.get();
    w->cfg.setup = &setup;
    w->trx.TavoParams = &params;
    w->trx.serMut = &serMut;
    spectrum.levels = levels;
    spectrum.work = work;
    w->trx.spectrum = &spectrum;
  }

  // A transmitting unit on 20 m with six errors listed and a busy spectrum.
  void FillReadings() {
    LinkState &l = w->link;
    l.currentFreq = 14074000;
    l.pwrFwd = 45;
    l.pwrRefl = 3.5f;
    l.swr = 1.8f;
    l.statusB = 1;
    l.temp1 = 32.5f;
    l.temp2 = 31;
    l.currentRaw = 600;
    w->thermal.cpuTemp1 = 47.2f;
    w->tuner.modeWorkIdx = 1;
    for (int code : {3, 4, 12, 13, 17, 19}) AddErrore(w, code);
    for (int i = 0; i < SPECTRUM_POINTS; i++) levels[i] = -90 + 30 * std::sin(i * 0.37f);
    snprintf(w->ui.dateTime, sizeof w->ui.dateTime, "2026-12-08 10:00:00");
  }

  std::string root;
  std::unique_ptr<Works> works = std::make_unique<Works>();
  Works *w = works.get();
  std::unique_ptr<FrameBuffer> fb;
  SetupRecord setup{};
  TavoParamsRecord params{};
  std::mutex serMut;
  SpectrumRecord spectrum;
  float levels[SPECTRUM_POINTS]{}, work[SPECTRUM_POINTS]{};
};

Display &Get() {
  static Display display;
  return display;
}

// The button bar as the key dispatch draws it: six faces, their frame and
// two caption lines each.
void ButtonBar(FrameBuffer *fb) {
  const int faces[][2] = {{0, 129}, {133, 262}, {266, 395}, {399, 528}, {532, 661}, {665, 798}};
  for (auto &f : faces) {
    FillBox(f[0], 420, f[1], 480, 40, 40, 40, fb, 0);
    DrawHorizontalLine(f[0], 420, f[1], 120, 120, 120, fb, 0);
  }
  for (int x : {130, 263, 396, 529, 662, 799}) DrawLine(x, 420, x, 479, 120, 120, 120, fb, 0);
  const char *line1[] = {"MEM", "IN-ATT", "ANT", "TUNE", "SET", "VIEW"};
  const char *line2[] = {"BANK1", "  0dB", "     1", "", "", "    1"};
  const int x1[] = {20, 143, 276, 409, 542, 675}, x2[] = {30, 153, 286, 419, 552, 695};
  for (int i = 0; i < 6; i++) {
    putString(0, x1[i], 445, line1[i], 250, 150, 0, fb);
    putString(1, x2[i], 472, line2[i], 250, 150, 0, fb);
  }
}

void BM_TwoScreenCopies(benchmark::State &state) {
  FrameBuffer *fb = Get().fb.get();
  for (auto _ : state) {
    fbSetBack(fb);
    fbRealize(fb);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 2 * fb->memSize);
}
BENCHMARK(BM_TwoScreenCopies)->Unit(benchmark::kMicrosecond);

// Argument 0: main window (1 meters, 4 plot); argument 1: glyph cache on.
void BM_MainScreenPass(benchmark::State &state) {
  Display &d = Get();
  SelectMainWindow(d.w, int(state.range(0)));
  SetGlyphCache(state.range(1) != 0);
  for (auto _ : state) {
    fbSetBack(d.fb.get());
    ComposeMainScreen(d.w, d.params);
    ButtonBar(d.fb.get());
    fbRealize(d.fb.get());
    benchmark::ClobberMemory();
  }
  SetGlyphCache(true);
}
BENCHMARK(BM_MainScreenPass)
    ->ArgNames({"window", "cache"})
    ->Args({1, 1})
    ->Args({4, 1})
    ->Args({1, 0})
    ->Args({4, 0})
    ->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
