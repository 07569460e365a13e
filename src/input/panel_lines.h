#pragma once
// The unit's lines of the GPIO block: the link's data and clock lines, the
// two plain outputs and the six key inputs. Every other line belongs to
// someone else (14 and 15 are the amplifier's UART) and is never touched.
#include <cstdint>
#include <initializer_list>

#include "platform/gpio_block.h"

constexpr int PANEL_DATA_LINE = 4;    // to the front-panel controller, idle high
constexpr int PANEL_CLOCK_LINE = 6;   // to the front-panel controller, idle high
constexpr int PANEL_FLAG_LINE = 13;   // low while the firmware-update request is set
constexpr int PANEL_ALIVE_LINE = 16;  // driven high on every pass
constexpr int PANEL_FIRST_KEY_LINE = 22;
constexpr int PANEL_KEYS = 6;  // keys 1..6 on lines 22..27, pressed = low
constexpr uint32_t PANEL_KEY_LINES = 0x3Fu << PANEL_FIRST_KEY_LINE;

class PanelLines {
 public:
  GpioOpen Open(int &error) { return block_.Open(error); }
  // Outputs, line 13 high, key inputs with their pull-ups.
  void SetUp();
  // Read-modify-write of each line's 3-bit field, one write per register.
  void SetFunction(std::initializer_list<int> lines, uint32_t function);
  // Updates the set and clear masks and writes both registers.
  void SetOutput(int line, bool high);
  uint32_t Levels() const { return block_.Read(GPIO_LEV0); }

 private:
  void WriteMasks();
  void PullUpKeys();
  GpioBlock block_;
  uint32_t setMask_ = 0, clearMask_ = 0;
};
