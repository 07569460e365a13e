#pragma once
// The service keyboard as a device of the simulated world: a FIFO in the
// sandbox's dev/input/by-id/ that carries input events in the host's own
// layout (subject `keyboard`: press, hold, unplug, plug). The device keeps
// the FIFO open itself, so that the unit's open never blocks and reads see
// the end of the file only once it is unplugged. It cannot be grabbed.
#include <mutex>
#include <string>
#include <vector>

#include "sim/world/device.h"
#include "sim/world/timed_actions.h"
#include "sim/world/world.h"

class KeyboardDevice : public SimDevice {
 public:
  explicit KeyboardDevice(const SimContext &context) : context_(context) {}
  ~KeyboardDevice() override { Stop(); }

  std::string Name() const override { return "keyboard"; }
  std::vector<std::string> Subjects() const override { return {"keyboard"}; }
  bool Start(std::string &error) override;
  void Stop() override;
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;

  std::string Path() const;
  bool Plug(std::string &error);
  void Unplug();
  // A key event (value 1 press, 2 repeat, 0 release) with its scan code
  // and report events, as a keyboard sends them; nothing when unplugged.
  void SendKey(int code, int value);

 private:
  double Now() const;
  struct Written {
    double t;
    int code, value;
  };

  SimContext context_;
  TimedActions actions_;
  int64_t startMicros_ = 0;
  mutable std::mutex mutex_;
  int fd_ = -1;
  std::vector<Written> written_;
};
