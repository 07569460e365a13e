#pragma once
// The companion receiver on the unit's simulated USB bus, as the scenario
// drives it (subject `receiver`): its scene of tones and noise, plugging,
// stalls and the model it answers as.
#include <memory>

#include "sim/receiver/usb_bus.h"
#include "sim/world/device.h"

class ReceiverDevice : public SimDevice {
 public:
  explicit ReceiverDevice(std::shared_ptr<SimUsbBus> bus) : bus_(std::move(bus)) {}

  std::string Name() const override { return "receiver"; }
  std::vector<std::string> Subjects() const override { return {"receiver"}; }
  // Puts the bus in libusb's place for the unit.
  bool Start(std::string &error) override;
  void Stop() override {}
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;

 private:
  std::shared_ptr<SimUsbBus> bus_;
};
