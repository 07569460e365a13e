#include "sim/world/simulation.h"

std::vector<std::unique_ptr<SimDevice>> MakeDevices(const SimContext &) { return {}; }
