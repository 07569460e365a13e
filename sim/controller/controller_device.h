#pragma once
// The controller as the world sees it: scenario events that an operator or a
// test would cause on the unit itself (subject `unit`), the controller's
// section of the report, and the live status line of an interactive run.
#include <atomic>
#include <thread>

#include "sim/world/device.h"
#include "sim/world/world.h"

struct Works;

class ControllerDevice : public SimDevice {
 public:
  explicit ControllerDevice(const SimContext &context) : context_(context) {}
  ~ControllerDevice() override { Stop(); }

  std::string Name() const override { return "controller"; }
  std::vector<std::string> Subjects() const override { return {"unit"}; }
  bool Start(std::string &error) override;
  void Stop() override;
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;
  void AttachController(Works *works) override;
  void Interrupt() override { interrupted_ = true; }

 private:
  void ShowStatus();
  bool AwaitField(Works *works, const ScenarioEvent &ev, std::string &error);
  SimContext context_;
  std::atomic<Works *> works_{nullptr};
  std::atomic<bool> stop_{false};
  std::atomic<bool> interrupted_{false};
  std::thread status_;
};

// One line of what the unit is doing: frequency, band, antenna, SWR, forward
// power, tune state, errors.
std::string StatusLine(Works *works);
