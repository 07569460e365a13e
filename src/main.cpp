// The product: the target's fixed paths and real devices, no options.
#include "core/startup.h"
#include "core/stop_signals.h"
#include "core/works.h"

int main() {
  StopOnSignals();
  KestraHooks hooks;
  hooks.started = [](Works *works) { WatchRunFlag(&works->core.running); };
  // Every other thread is joined by now, so a late signal is handled on this
  // thread and cannot race the record's release.
  hooks.stopped = [](Works *) { WatchRunFlag(nullptr); };
  return KestraMain(hooks);
}
