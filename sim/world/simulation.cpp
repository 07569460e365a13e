#include "sim/world/simulation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "core/clock.h"
#include "core/works.h"
#include "display/png_write.h"
#include "sim/world/json.h"

Simulation::Simulation(const SimOptions &options, const SimContext &context)
    : options_(options), context_(context), t0_(DeviceEpoch(context, MonotonicMicros() / 1e6)) {}

Simulation::~Simulation() {
  RequestStop();
  Finish();
}

double Simulation::Elapsed() const { return MonotonicMicros() / 1e6 - t0_; }

bool Simulation::Prepare(std::string &error) {
  devices_ = MakeDevices(context_);
  if (!options_.only.empty() && !Device(options_.only)) {
    error = "--only: no simulated device named '" + options_.only + "'";
    return false;
  }
  if (options_.scenario.empty()) return true;
  std::ifstream in(options_.scenario);
  if (!in) {
    error = "cannot read the scenario " + options_.scenario;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (!ParseScenario(text.str(), events_, error)) {
    error = options_.scenario + ": " + error;
    return false;
  }
  for (const ScenarioEvent &ev : events_) {
    if (ev.subject == "sim" && ev.verb == "stop") continue;
    if (!DeviceFor(ev.subject)) {
      error = options_.scenario + ": line " + std::to_string(ev.line) + ": unknown subject '" +
              ev.subject + "'";
      return false;
    }
  }
  return true;
}

SimDevice *Simulation::Device(const std::string &name) const {
  for (const auto &d : devices_)
    if (d->Name() == name) return d.get();
  return nullptr;
}

SimDevice *Simulation::DeviceFor(const std::string &subject) const {
  for (const auto &d : devices_) {
    auto subjects = d->Subjects();
    if (std::find(subjects.begin(), subjects.end(), subject) != subjects.end()) return d.get();
  }
  return nullptr;
}

bool Simulation::StartDevices(std::string &error) {
  for (const auto &d : devices_) {
    if (!options_.only.empty() && d->Name() != options_.only) continue;
    if (!d->Start(error)) {
      error = d->Name() + ": " + error;
      return false;
    }
  }
  return true;
}

void Simulation::StopDevices() {
  for (const auto &d : devices_) d->Stop();
}

void Simulation::Begin(Works *controller) {
  controller_ = controller;
  if (controller)
    for (const auto &d : devices_) d->AttachController(controller);
  eventThread_ = std::thread(&Simulation::RunEvents, this);
  if (!options_.control.empty()) controlThread_ = std::thread(&Simulation::RunControl, this);
}

void Simulation::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, [this] { return stop_; });
}

void Simulation::RequestStop() {
  for (const auto &d : devices_) d->Interrupt();
  std::lock_guard<std::mutex> lock(mutex_);
  stop_ = true;
  wake_.notify_all();
}

void Simulation::Finish() {
  if (eventThread_.joinable()) eventThread_.join();
  if (controlThread_.joinable()) controlThread_.join();
}

void Simulation::DetachController() {
  for (const auto &d : devices_) d->AttachController(nullptr);
  controller_ = nullptr;
}

// Sleeps until `t` seconds of simulation; false when a stop came first.
bool Simulation::WaitUntil(double t) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    double left = t - Elapsed();
    if (left <= 0) return true;
    wake_.wait_for(lock, std::chrono::duration<double>(std::min(left, 0.05)));
  }
  return false;
}

void Simulation::RunEvents() {
  bool stopped = false;
  double previous = 0;  // when the last event was carried out
  for (const ScenarioEvent &ev : events_) {
    double t = ev.relative ? previous + ev.t : ev.t;
    if (options_.duration >= 0 && t > options_.duration) break;
    if (!WaitUntil(t)) break;
    stopped = ev.subject == "sim";  // "sim stop": the scenario ends the run
    if (stopped) {
      std::lock_guard<std::mutex> lock(mutex_);
      applied_.push_back({ev, Elapsed(), {}});
      break;
    }
    std::string error;
    ApplyEvent(ev, error);
    previous = Elapsed();
  }
  if (stopped) {
    // the scenario ended the run
  } else if (options_.duration >= 0) {
    WaitUntil(options_.duration);
  } else {
    Wait();
  }
  RequestStop();
  TakeSnapshot();
  for (const auto &d : devices_) d->UnitStopping();
  if (controller_) controller_->core.running = 0;
}

bool Simulation::ApplyEvent(const ScenarioEvent &ev, std::string &error) {
  Applied a{ev, Elapsed(), {}};
  if (SimDevice *d = DeviceFor(ev.subject)) {
    if (!d->Apply(ev, a.error)) fprintf(stderr, "kestra-sim: %s\n", a.error.c_str());
  } else {
    a.error = "unknown subject '" + ev.subject + "'";
    fprintf(stderr, "kestra-sim: %s\n", a.error.c_str());
  }
  error = a.error;
  std::lock_guard<std::mutex> lock(mutex_);
  applied_.push_back(a);
  return error.empty();
}

// Lines written into the FIFO are events of the moment they arrive. The FIFO
// is held open for writing too, so that a writer closing it is no end.
void Simulation::RunControl() {
  mkfifo(options_.control.c_str(), 0600);
  int fd = open(options_.control.c_str(), O_RDWR | O_NONBLOCK);
  if (fd < 0) {
    fprintf(stderr, "kestra-sim: cannot open the control FIFO %s\n", options_.control.c_str());
    return;
  }
  std::string pending;
  while (WaitUntil(Elapsed() + 0.02)) {
    char buf[512];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) pending.append(buf, size_t(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      ScenarioEvent ev;
      std::string error;
      std::string line = pending.substr(0, end);
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      if (ParseEventLine(line, ev, error))
        ApplyEvent(ev, error);
      else
        fprintf(stderr, "kestra-sim: control: %s: %s\n", line.c_str(), error.c_str());
    }
  }
  close(fd);
}

// The running unit's screen, taken before the stop replaces it with the
// closing screen.
void Simulation::TakeSnapshot() {
  if (options_.snapshot.empty()) return;
  std::string error;
  if (!controller_)
    error = "no controller runs";
  else
    SaveScreenPng(controller_, options_.snapshot, error);
  std::lock_guard<std::mutex> lock(mutex_);
  snapshotError_ = error;
  if (error.empty())
    fprintf(stderr, "kestra-sim: snapshot %s\n", options_.snapshot.c_str());
  else
    fprintf(stderr, "kestra-sim: snapshot: %s\n", error.c_str());
}

bool Simulation::WriteReport(std::string &error) {
  if (options_.report.empty()) return true;
  JsonWriter json;
  json.BeginObject();
  json.Key("sim").BeginObject();
  json.Field("root", context_.root).Field("elapsed", Elapsed());
  json.Field("only", options_.only);
  if (!options_.snapshot.empty()) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (snapshotError_.empty())
      json.Field("snapshot", options_.snapshot);
    else
      json.Field("snapshotError", snapshotError_);
  }
  json.EndObject();
  json.Key("events").BeginArray();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Applied &a : applied_) {
      json.BeginObject().Field("t", a.event.t).Field("applied", a.at).Field("event", a.event.text);
      if (!a.error.empty()) json.Field("error", a.error);
      json.EndObject();
    }
  }
  json.EndArray();
  for (const auto &d : devices_) {
    if (!options_.only.empty() && d->Name() != options_.only) continue;
    json.Key(d->Name());
    d->Report(json);
  }
  json.EndObject();
  std::ofstream out(options_.report, std::ios::trunc);
  out << json.Text() << "\n";
  if (!out) {
    error = "cannot write the report " + options_.report;
    return false;
  }
  return true;
}
