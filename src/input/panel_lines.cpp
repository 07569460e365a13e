#include "input/panel_lines.h"

#include "core/clock.h"

namespace {
constexpr int LINES_PER_FSEL = 10;
constexpr uint32_t FSEL_FIELD = 7;
// The pull-up sequence needs 150 processor cycles between its steps.
constexpr int64_t PULL_SETTLE_MICROS = 5;
}  // namespace

void PanelLines::SetUp() {
  SetFunction({PANEL_DATA_LINE, PANEL_CLOCK_LINE}, GPIO_FSEL_OUTPUT);
  SetFunction({PANEL_ALIVE_LINE, PANEL_FLAG_LINE}, GPIO_FSEL_OUTPUT);
  setMask_ = 1u << PANEL_FLAG_LINE;
  clearMask_ = 0;
  WriteMasks();
  SetFunction({22, 23, 24, 25, 26, 27}, GPIO_FSEL_INPUT);
  PullUpKeys();
}

void PanelLines::SetFunction(std::initializer_list<int> lines, uint32_t function) {
  int reg = *lines.begin() / LINES_PER_FSEL;
  uint32_t offset = GPIO_FSEL0 + 4 * reg;
  uint32_t value = block_.Read(offset);
  for (int line : lines) {
    // Lines of one call share a register.
    int shift = 3 * (line - reg * LINES_PER_FSEL);
    value = (value & ~(FSEL_FIELD << shift)) | (function << shift);
  }
  block_.Write(offset, value);
}

void PanelLines::SetOutput(int line, bool high) {
  uint32_t bit = 1u << line;
  setMask_ = high ? setMask_ | bit : setMask_ & ~bit;
  clearMask_ = high ? clearMask_ & ~bit : clearMask_ | bit;
  WriteMasks();
}

void PanelLines::WriteMasks() {
  block_.Write(GPIO_SET0, setMask_);
  block_.Write(GPIO_CLR0, clearMask_);
}

void PanelLines::PullUpKeys() {
  block_.Write(GPIO_PUD, GPIO_PUD_UP);
  SleepMicros(PULL_SETTLE_MICROS);
  block_.Write(GPIO_PUDCLK0, PANEL_KEY_LINES);
  SleepMicros(PULL_SETTLE_MICROS);
  block_.Write(GPIO_PUD, GPIO_PUD_OFF);
  block_.Write(GPIO_PUDCLK0, 0);
}
