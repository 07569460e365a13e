#pragma once
// The processor's GPIO register block as the front panel wires it: function
// select, output latch (set/clear), level, pull-up/down programming; six keys
// on lines 22-27 that pull their line to ground; the front-panel controller
// on data line 4 and clock line 6. It starts in the chip's reset state (UART
// lines 14 and 15 in their alternate function, lines 0-8 pulled up, the rest
// pulled down) and notes every write that touches a line the unit does not
// own.
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/gpio_block.h"
#include "sim/panel/panel_controller.h"

struct GpioView {
  uint32_t levels = 0;             // the level register as the unit reads it now
  uint32_t unitPullUps = 0;        // lines the unit pulled up
  uint32_t foreignLines = 0;       // lines written to that the unit does not own
  bool functionsPreserved = true;  // every other line keeps its function
  bool level[2] = {};              // lines 13 and 16
  int changes[2] = {};             // their level changes since they became outputs
};

class GpioModel : public GpioBus {
 public:
  GpioModel();
  uint32_t Read(uint32_t offset) override;
  void Write(uint32_t offset, uint32_t value) override;

  void SetKey(int key, bool pressed);  // key 1..6
  // The key's contact closes for `glitches` single reads of the level
  // register, three reads apart.
  void Bounce(int key, int glitches);
  // Runs `change` on the controller under the model's lock.
  void WithController(const std::function<void(PanelController &)> &change);
  GpioView View() const;

 private:
  uint32_t Function(int line) const;
  bool Level(int line) const;
  void WriteFunctions(int reg, uint32_t value);
  void AfterLineChange();
  void Track(int index, int line);

  mutable std::mutex mutex_;
  PanelController controller_;
  uint32_t fsel_[6] = {};
  uint32_t latch_ = 0;
  uint8_t pull_[32] = {};
  uint32_t pudControl_ = 0;
  bool keyDown_[6] = {};
  int glitchesLeft_[6] = {}, glitchGap_[6] = {};
  bool clock_ = false, dataOutput_ = false;
  bool trackedSeen_[2] = {};
  GpioView view_;
};
