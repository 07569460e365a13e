#pragma once
// The unit's display as the world sees it (subject `screen`): snapshots at
// chosen times (a relative file name is under the sandbox root), each with
// the texts of the frame it shows; a wait until a text is shown; and the
// texts of the last frame the running unit showed (report section `screen`).
#include <atomic>
#include <mutex>

#include "sim/controller/screen_texts.h"
#include "sim/world/device.h"
#include "sim/world/world.h"

class ScreenDevice : public SimDevice {
 public:
  explicit ScreenDevice(const SimContext &context);
  ~ScreenDevice() override;

  std::string Name() const override { return "screen"; }
  std::vector<std::string> Subjects() const override { return {"screen"}; }
  bool Start(std::string &) override { return true; }
  void Stop() override {}
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;
  void AttachController(Works *works) override { works_ = works; }
  void UnitStopping() override;
  void Interrupt() override { interrupted_ = true; }

 private:
  bool Snap(Works *works, const ScenarioEvent &ev, std::string &error);
  // Returns once a shown frame holds the text, or fails after the time-out.
  bool Await(Works *works, const ScenarioEvent &ev, std::string &error);

  struct Snapshot {
    double t;
    std::string file, error;
    std::vector<ScreenText> texts;
  };
  std::string root_;
  std::atomic<Works *> works_{nullptr};
  std::atomic<bool> interrupted_{false};
  std::mutex mutex_;
  std::vector<Snapshot> snapshots_;
  std::vector<ScreenText> lastTexts_;
  bool stopped_ = false;
};
