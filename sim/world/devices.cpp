#include "sim/amplifier/amp_device.h"
#include "sim/audio/audio_device.h"
#include "sim/controller/controller_device.h"
#include "sim/controller/screen_device.h"
#include "sim/ft817/ft817.h"
#include "sim/keyboard/keyboard_device.h"
#include "sim/panel/panel_device.h"
#include "sim/receiver/receiver_device.h"
#include "sim/transceiver/transceiver.h"
#include "sim/world/simulation.h"

std::vector<std::unique_ptr<SimDevice>> MakeDevices(const SimContext &context) {
  std::vector<std::unique_ptr<SimDevice>> devices;
  devices.push_back(std::make_unique<ControllerDevice>(context));
  devices.push_back(std::make_unique<ScreenDevice>(context));
  devices.push_back(std::make_unique<AmpDevice>(context));
  devices.push_back(std::make_unique<TransceiverSim>(context));
  devices.push_back(std::make_unique<Ft817Sim>(context));
  devices.push_back(std::make_unique<PanelDevice>(context));
  devices.push_back(std::make_unique<KeyboardDevice>(context));
  auto usb = std::make_shared<SimUsbBus>(context.root);
  devices.push_back(std::make_unique<ReceiverDevice>(usb));
  devices.push_back(std::make_unique<AudioDevice>(context, usb));
  return devices;
}
