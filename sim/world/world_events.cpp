#include "sim/world/world_events.h"

#include <cstdlib>

namespace {
bool Fail(const ScenarioEvent &ev, const std::string &why, std::string &error) {
  error = "'" + ev.text + "': " + why;
  return false;
}

bool ApplyRadio(World &world, const ScenarioEvent &ev, std::string &error) {
  RfSource rf = world.Rf();
  double value = 0;
  if (ev.verb == "freq") {
    if (!ArgDouble(ev, 0, value, error)) return false;
    if (value <= 0) return Fail(ev, "the frequency must be above 0 Hz", error);
    rf.freqHz = value;
  } else if (ev.verb == "drive") {
    if (!ArgDouble(ev, 0, value, error)) return false;
    if (value < 0) return Fail(ev, "the drive cannot be negative", error);
    rf.driveW = value;
    rf.on = value > 0;
  } else if (ev.verb == "on" || ev.verb == "off") {
    rf.on = ev.verb == "on";
  } else {
    return Fail(ev, "radio takes freq, drive, on or off", error);
  }
  world.SetRf(rf);
  return true;
}

// "antenna N load R X [scale [REF_HZ]]": the verb is the antenna number.
bool ApplyAntenna(World &world, const ScenarioEvent &ev, std::string &error) {
  char *end = nullptr;
  long n = strtol(ev.verb.c_str(), &end, 10);
  if (*end || n < 1 || n > 3) return Fail(ev, "the antenna number must be 1, 2 or 3", error);
  if (ev.args.empty() || ev.args[0] != "load") return Fail(ev, "expected 'load R X'", error);
  AntennaLoad load;
  if (!ArgDouble(ev, 1, load.r, error) || !ArgDouble(ev, 2, load.x, error)) return false;
  if (load.r <= 0) return Fail(ev, "the resistance must be above 0 ohm", error);
  if (ev.args.size() > 3) {
    if (ev.args[3] != "scale") return Fail(ev, "expected 'scale [REF_HZ]'", error);
    load.scaleWithFreq = true;
    load.refFreqHz = world.Rf().freqHz;
    if (ev.args.size() > 4 && !ArgDouble(ev, 4, load.refFreqHz, error)) return false;
  }
  world.SetLoad(int(n - 1), load);
  return true;
}
}  // namespace

bool ApplyWorldEvent(World &world, const ScenarioEvent &ev, std::string &error) {
  if (ev.subject == "radio") return ApplyRadio(world, ev, error);
  if (ev.subject == "antenna") return ApplyAntenna(world, ev, error);
  return Fail(ev, "not a subject of the world", error);
}
