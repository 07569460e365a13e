#pragma once
// Scenario events for driving a simulated device directly in a test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/world/device.h"
#include "sim/world/scenario.h"

// Applies "<subject> <verb> [args…]" to `device` now.
inline void ApplyEvent(SimDevice &device, const std::string &text) {
  std::vector<ScenarioEvent> events;
  std::string error;
  ASSERT_TRUE(ParseScenario("0 " + text, events, error)) << error;
  ASSERT_TRUE(device.Apply(events[0], error)) << error;
}
