#pragma once
// A simulated device of the world: it has a port or an interface in the
// sandbox, takes scenario events for its subjects and reports its state.
#include <string>
#include <vector>

#include "sim/world/scenario.h"

class JsonWriter;
struct Works;
struct SimContext;

class SimDevice {
 public:
  virtual ~SimDevice() = default;
  // Name used by --only and as the report section.
  virtual std::string Name() const = 0;
  // Scenario subjects this device takes.
  virtual std::vector<std::string> Subjects() const = 0;
  virtual bool Start(std::string &error) = 0;
  virtual void Stop() = 0;
  // Applies one event; false with a reason for an unknown verb or bad arguments.
  virtual bool Apply(const ScenarioEvent &ev, std::string &error) = 0;
  // Writes the value of the device's report section.
  virtual void Report(JsonWriter &json) = 0;
  // The running controller's record, or null once it has stopped; devices
  // that act on the unit itself keep it.
  virtual void AttachController(Works *) {}
  // The run is to end: an event that waits returns.
  virtual void Interrupt() {}
  // The unit is about to be told to stop: the last moment its own screen
  // is shown (the closing screen follows).
  virtual void UnitStopping() {}
};
