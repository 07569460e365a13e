// kestra-sim: the whole unit against its simulated hardware, in a sandbox.
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/clock.h"
#include "core/log.h"
#include "core/startup.h"
#include "core/works.h"
#include "platform/display_device.h"
#include "platform/paths.h"
#include "sim/web/http_server.h"
#include "sim/world/factory_files.h"
#include "sim/world/factory_tables.h"
#include "sim/world/options.h"
#include "sim/world/sandbox.h"
#include "sim/world/simulation.h"

namespace {
sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

// Stop signals are taken by a thread of their own with sigwait rather than
// by a handler: a stop takes a lock that a handler could find held by the
// thread it interrupted, and a signal that comes before the simulation is
// ready waits for it instead of killing the run. The signals are blocked
// before any thread starts, so that every thread inherits the mask.
class StopSignalWaiter {
 public:
  explicit StopSignalWaiter(Simulation &sim)
      : thread_([this, &sim] {
          sigset_t set = StopSignals();
          int sig = 0;
          while (sigwait(&set, &sig) == 0 && !done_) sim.RequestStop();
        }) {}
  ~StopSignalWaiter() {
    done_ = true;
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

std::string MakeRoot(const std::string &requested) {
  if (!requested.empty()) return requested;
  char dir[] = "/tmp/kestra-sim-XXXXXX";
  return mkdtemp(dir) ? dir : "";
}

// An interactive run shows one live status line; the unit's diagnostic lines
// go to a file in the sandbox instead of scrolling it away.
void KeepTerminalForStatus(const SimOptions &options, const std::string &root) {
  if (options.headless || !isatty(STDOUT_FILENO)) return;
  std::string path = root + "/var/log/stderr.log";
  fprintf(stderr, "kestra-sim: diagnostic lines in %s; Ctrl-C stops the unit\n", path.c_str());
  if (!freopen(path.c_str(), "a", stderr))
    fprintf(stdout, "kestra-sim: cannot write %s\n", path.c_str());
}

int Fail(const std::string &message) {
  fprintf(stderr, "kestra-sim: %s\n", message.c_str());
  return 2;
}

// The unit's page on 127.0.0.1 when the run serves it; its address goes to
// the terminal.
bool ServePage(const SimOptions &options, Simulation &sim, World &world,
               std::unique_ptr<PageServer> &page, std::string &error) {
  if (!ServesPage(options)) return true;
  page = std::make_unique<PageServer>(sim, &world);
  if (!page->Start(options.httpPort, error)) return false;
  printf("kestra-sim: the unit's page: %s\n", page->Address().c_str());
  fflush(stdout);
  return true;
}
}  // namespace

int main(int argc, char **argv) {
  sigset_t stopSignals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  SimOptions options;
  std::string error;
  if (!ParseSimOptions(argc, argv, options, error)) {
    fprintf(stderr, "kestra-sim: %s\n%s", error.c_str(), SIM_USAGE);
    return 2;
  }
  std::string root = MakeRoot(options.root);
  if (root.empty()) return Fail("cannot create a sandbox directory under /tmp");
  if (!CreateSandbox(root, error)) return Fail(error);
  if (!SeedFactoryAntennaTable(root)) return Fail("cannot seed the factory antenna table");
  if (!SeedNetworkInterfaces(root)) return Fail("cannot seed the network configuration");
  fprintf(stderr, "kestra-sim: sandbox %s\n", root.c_str());
  KeepTerminalForStatus(options, root);
  SetPaths(PathsUnder(root));
  UseMemoryDisplay();
  MirrorSysLogTo(root + "/var/log/kestra.log");
  if (!SeedFactoryAmplifierTables(root)) return Fail("cannot seed the factory amplifier tables");

  World world;
  SimContext context{root, &world, !options.noPacing, options.only, options.headless};
  context.epoch = MonotonicMicros() / 1e6;  // one time 0 for the events and every device
  Simulation sim(options, context);
  if (!sim.Prepare(error)) return Fail(error);
  if (!sim.StartDevices(error)) return Fail(error);
  StopSignalWaiter stopSignalWaiter(sim);  // a signal that came meanwhile is still pending
  std::unique_ptr<PageServer> page;
  if (!ServePage(options, sim, world, page, error)) return Fail(error);

  int status = 0;
  if (!options.only.empty()) {
    sim.Begin(nullptr);
    sim.Wait();
    sim.Finish();
    if (!sim.WriteReport(error)) status = Fail(error);
  } else {
    KestraHooks hooks;
    hooks.quickStart = options.quickStart;
    hooks.started = [&](Works *works) {
      sim.Begin(works);
      if (page) page->Attach(works);
    };
    hooks.stopped = [&](Works *) {
      if (page) page->Attach(nullptr);
      sim.RequestStop();
      sim.Finish();
      if (!sim.WriteReport(error)) status = Fail(error);
      sim.DetachController();
    };
    status = KestraMain(hooks) == 0 ? status : 1;
  }
  if (page) page->Stop();
  sim.StopDevices();
  return status;
}
