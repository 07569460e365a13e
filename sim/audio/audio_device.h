#pragma once
// The companion transceiver's USB sound device as the unit meets it: a
// capture and a playback device reached through ALSA. The sandbox gets an
// ALSA configuration (under $XDG_CONFIG_HOME, which the simulator points
// into the sandbox) that makes "hw:N" and "kestra_usb" this device, served
// by the simulator's ALSA plugin. Subject `audio`: the tone the capture side
// hears, plugging (the codec also leaves the USB bus) and refused opens.
#include <memory>

#include "sim/audio/audio_shared.h"
#include "sim/receiver/usb_bus.h"
#include "sim/world/device.h"
#include "sim/world/world.h"

class AudioDevice : public SimDevice {
 public:
  AudioDevice(const SimContext &context, std::shared_ptr<SimUsbBus> bus);
  ~AudioDevice() override;

  std::string Name() const override { return "audio"; }
  std::vector<std::string> Subjects() const override { return {"audio"}; }
  bool Start(std::string &error) override;
  void Stop() override {}
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;

 private:
  bool MapState(std::string &error);
  bool WriteAlsaConfig(std::string &error);

  SimContext context_;
  std::shared_ptr<SimUsbBus> bus_;
  SimAudioFiles files_;
  SimAudioShared *shared_ = nullptr;
  double start_ = 0;  // monotonic seconds at Start
};

// The ALSA configuration that makes the sandbox's sound device "hw:N" (any
// N) and "kestra_usb"; `plugin` is the plugin library's path.
std::string SimAlsaConfig(const std::string &plugin, const std::string &dir);
