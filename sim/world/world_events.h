#pragma once
// Scenario subjects of the physical world itself:
//   radio freq HZ | radio drive WATTS | radio on | radio off
//   antenna N load R X [scale [REF_HZ]]
#include <string>

#include "sim/world/scenario.h"
#include "sim/world/world.h"

// False with a reason for an unknown verb or bad arguments.
bool ApplyWorldEvent(World &world, const ScenarioEvent &ev, std::string &error);
