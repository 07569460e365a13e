#include "sim/panel/gpio_model.h"

namespace {
constexpr int DATA = 4, CLOCK = 6, FIRST_KEY = 22, KEYS = 6;
constexpr int TRACKED[2] = {13, 16};
constexpr uint32_t BIT(int line) { return 1u << line; }
constexpr uint32_t KEY_LINES = 0x3Fu << FIRST_KEY;
constexpr uint32_t UNIT_OUTPUTS = BIT(4) | BIT(6) | BIT(13) | BIT(16);
constexpr uint32_t UNIT_LINES = UNIT_OUTPUTS | KEY_LINES;
constexpr uint32_t FSEL_ALT0 = 4;
constexpr int GLITCH_GAP_READS = 3;
constexpr int FSEL_REGISTERS = 6, LINES_PER_FSEL = 10, BANK0_LINES = 32;

// The chip's reset functions: all inputs but the amplifier's UART lines.
uint32_t ResetFunctions(int reg) { return reg == 1 ? FSEL_ALT0 << 12 | FSEL_ALT0 << 15 : 0; }

bool UnitOwns(int line) { return line < BANK0_LINES && (UNIT_LINES & BIT(line)); }
}  // namespace

GpioModel::GpioModel() {
  for (int reg = 0; reg < FSEL_REGISTERS; reg++) fsel_[reg] = ResetFunctions(reg);
  for (int line = 0; line < BANK0_LINES; line++)
    pull_[line] = line <= 8 ? GPIO_PUD_UP : GPIO_PUD_DOWN;
  clock_ = Level(CLOCK);
}

uint32_t GpioModel::Function(int line) const {
  return (fsel_[line / LINES_PER_FSEL] >> (3 * (line % LINES_PER_FSEL))) & 7;
}

bool GpioModel::Level(int line) const {
  if (Function(line) == GPIO_FSEL_OUTPUT) return latch_ & BIT(line);
  if (line == DATA) {
    if (auto driven = controller_.Driving()) return *driven;
  }
  if (line >= FIRST_KEY && line < FIRST_KEY + KEYS && keyDown_[line - FIRST_KEY]) return false;
  return pull_[line] == GPIO_PUD_UP;
}

uint32_t GpioModel::Read(uint32_t offset) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (offset < 4 * FSEL_REGISTERS) return fsel_[offset / 4];
  if (offset != GPIO_LEV0) return 0;
  uint32_t levels = 0;
  for (int line = 0; line < BANK0_LINES; line++)
    if (Level(line)) levels |= BIT(line);
  for (int k = 0; k < KEYS; k++) {
    if (glitchesLeft_[k] == 0) continue;
    if (glitchGap_[k] > 0) {
      glitchGap_[k]--;
      continue;
    }
    levels &= ~BIT(FIRST_KEY + k);
    glitchesLeft_[k]--;
    glitchGap_[k] = GLITCH_GAP_READS;
  }
  return levels;
}

void GpioModel::Write(uint32_t offset, uint32_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (offset < 4 * FSEL_REGISTERS) {
    WriteFunctions(int(offset / 4), value);
  } else if (offset == GPIO_SET0 || offset == GPIO_CLR0) {
    view_.foreignLines |= value & ~UNIT_OUTPUTS;
    latch_ = offset == GPIO_SET0 ? latch_ | value : latch_ & ~value;
  } else if (offset == GPIO_PUD) {
    pudControl_ = value & 3;
  } else if (offset == GPIO_PUDCLK0) {
    view_.foreignLines |= value & ~KEY_LINES;
    for (int line = 0; line < BANK0_LINES; line++) {
      if (!(value & BIT(line))) continue;
      pull_[line] = uint8_t(pudControl_);
      if (pudControl_ == GPIO_PUD_UP)
        view_.unitPullUps |= BIT(line);
      else
        view_.unitPullUps &= ~BIT(line);
    }
    return;
  } else {
    return;
  }
  AfterLineChange();
}

void GpioModel::WriteFunctions(int reg, uint32_t value) {
  for (int field = 0; field < LINES_PER_FSEL; field++) {
    int line = reg * LINES_PER_FSEL + field;
    bool changed = ((fsel_[reg] ^ value) >> (3 * field)) & 7;
    if (changed && !UnitOwns(line) && line < BANK0_LINES) view_.foreignLines |= BIT(line);
  }
  fsel_[reg] = value;
}

// The controller sees the lines as they are after the write: clock edges
// first, then the data line changing hands.
void GpioModel::AfterLineChange() {
  bool clock = Level(CLOCK);
  if (clock != clock_) {
    clock_ = clock;
    controller_.ClockEdge(clock, Level(DATA));
  }
  bool dataOutput = Function(DATA) == GPIO_FSEL_OUTPUT;
  if (dataOutput != dataOutput_) {
    dataOutput_ = dataOutput;
    controller_.DataDirection(dataOutput);
  }
  for (int i = 0; i < 2; i++) Track(i, TRACKED[i]);
}

void GpioModel::Track(int index, int line) {
  if (Function(line) != GPIO_FSEL_OUTPUT) return;
  bool level = Level(line);
  if (trackedSeen_[index] && level != view_.level[index]) view_.changes[index]++;
  trackedSeen_[index] = true;
  view_.level[index] = level;
}

void GpioModel::SetKey(int key, bool pressed) {
  std::lock_guard<std::mutex> lock(mutex_);
  keyDown_[key - 1] = pressed;
}

void GpioModel::Bounce(int key, int glitches) {
  std::lock_guard<std::mutex> lock(mutex_);
  glitchesLeft_[key - 1] += glitches;
}

void GpioModel::WithController(const std::function<void(PanelController &)> &change) {
  std::lock_guard<std::mutex> lock(mutex_);
  change(controller_);
}

GpioView GpioModel::View() const {
  std::lock_guard<std::mutex> lock(mutex_);
  GpioView v = view_;
  for (int line = 0; line < BANK0_LINES; line++)
    if (Level(line)) v.levels |= BIT(line);
  for (int reg = 0; reg < FSEL_REGISTERS; reg++)
    for (int field = 0; field < LINES_PER_FSEL; field++) {
      int line = reg * LINES_PER_FSEL + field;
      uint32_t now = (fsel_[reg] >> (3 * field)) & 7,
               reset = (ResetFunctions(reg) >> (3 * field)) & 7;
      if (!UnitOwns(line) && now != reset) v.functionsPreserved = false;
    }
  return v;
}
