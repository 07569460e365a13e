#pragma once
// The whole life of the program: start-up, idle, orderly shutdown. The product
// and the simulator run the same sequence.
#include <functional>

struct Works;

struct KestraHooks {
  // Called once the record holds its defaults and settings, before the
  // threads start; the simulator keeps the pointer to watch and stop the unit.
  std::function<void(Works *)> started;
  // Called once the start-up is over (the timer started), before the idle
  // loop; not when the run flag dropped during the start-up.
  std::function<void(Works *)> up;
  // Called after the orderly shutdown, while the record still exists.
  std::function<void(Works *)> stopped;
  // The start-up and closing pauses last a tenth of their time: for
  // simulator runs that only need the unit running.
  bool quickStart = false;
};

// A second of the start-up pauses under quickStart.
constexpr int32_t QUICK_START_SECOND_MS = 100;

int KestraMain(const KestraHooks &hooks = {});

// "start120" when the amplifier reported the high-power class, else "start".
const char *StartImageName(Works *works);
