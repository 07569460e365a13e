#include "sim/amplifier/amp_device.h"
#include "sim/world/simulation.h"

std::vector<std::unique_ptr<SimDevice>> MakeDevices(const SimContext &context) {
  std::vector<std::unique_ptr<SimDevice>> devices;
  devices.push_back(std::make_unique<AmpDevice>(context));
  return devices;
}
