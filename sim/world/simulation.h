#pragma once
// Runs the simulated world: its devices, the scenario's timed events, the
// stop after the requested duration and the JSON report.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/world/device.h"
#include "sim/world/options.h"
#include "sim/world/scenario.h"
#include "sim/world/world.h"

struct Works;

class Simulation {
 public:
  Simulation(const SimOptions &options, const SimContext &context);
  ~Simulation();

  // Reads the scenario and makes the devices; false with a reason.
  bool Prepare(std::string &error);
  bool StartDevices(std::string &error);
  void StopDevices();

  // Runs events and the stop timer; with a controller, its run flag is
  // cleared at the end. Without one (--only), Wait() blocks until then.
  void Begin(Works *controller);
  void Wait();
  void RequestStop();  // a signal or the end of the duration
  void Finish();       // joins the event thread

  bool WriteReport(std::string &error);
  // Before the controller's record goes away.
  void DetachController();
  SimDevice *Device(const std::string &name) const;
  double Elapsed() const;
  // Applies an event now and lists it in the report; false with the reason.
  bool ApplyEvent(const ScenarioEvent &ev, std::string &error);

 private:
  void RunEvents();
  void RunControl();
  void TakeSnapshot();
  bool WaitUntil(double t);
  SimDevice *DeviceFor(const std::string &subject) const;

  struct Applied {
    ScenarioEvent event;
    double at;
    std::string error;
  };

  SimOptions options_;
  SimContext context_;
  std::vector<std::unique_ptr<SimDevice>> devices_;
  std::vector<ScenarioEvent> events_;
  std::vector<Applied> applied_;
  Works *controller_ = nullptr;
  std::thread eventThread_;
  std::thread controlThread_;  // events from the --control FIFO
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  double t0_ = 0;
  std::string snapshotError_;  // why the requested snapshot was not written
};

// Every simulated device of the world (later devices are added here).
std::vector<std::unique_ptr<SimDevice>> MakeDevices(const SimContext &context);
