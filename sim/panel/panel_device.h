#pragma once
// The front panel as a device of the simulated world: the GPIO register
// block the unit maps (subject `panel`: keys, supplies, the controller's
// presence), and the report's `panel` section: the bytes the controller
// received with their times, the output lines, the pull-ups, the lines the
// unit should not have touched, and the key events the unit delivered.
#include <mutex>
#include <vector>

#include "sim/panel/gpio_model.h"
#include "sim/world/device.h"
#include "sim/world/timed_actions.h"
#include "sim/world/world.h"

class PanelDevice : public SimDevice {
 public:
  explicit PanelDevice(const SimContext &context);
  ~PanelDevice() override { Stop(); }

  std::string Name() const override { return "panel"; }
  std::vector<std::string> Subjects() const override { return {"panel"}; }
  // Every GPIO block the unit opens from now on is this panel's.
  bool Start(std::string &error) override;
  void Stop() override;
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;

  GpioModel &Model() { return model_; }

  struct KeyEvent {
    double t;
    int key, holdMask, result;
  };
  std::vector<KeyEvent> KeyEvents() const;
  // Keys 1..6 as '1' (released) or '0' (pressed): the lines the unit reads.
  std::string KeyLevels() const;

 private:
  double Now() const;
  bool ApplyKey(const ScenarioEvent &ev, std::string &error);
  bool ApplyController(const ScenarioEvent &ev, std::string &error);
  bool ApplyRawReply(const ScenarioEvent &ev, size_t at, int cls, std::string &error);

  SimContext context_;
  World ownWorld_;
  World *world_;
  GpioModel model_;
  TimedActions actions_;
  int64_t startMicros_ = 0;
  mutable std::mutex mutex_;
  std::vector<KeyEvent> keyEvents_;
  bool started_ = false;
};
