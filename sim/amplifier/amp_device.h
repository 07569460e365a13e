#pragma once
// The simulated amplifier as a device of the world: its microcontroller's
// serial port in the sandbox (<root>/dev/ttyAMA0, 115200 baud), the firmware
// and physics behind it, faults on demand, and the record of every frame it
// received. Scenario subjects "amp", and "radio" and "antenna" of the world
// it measures.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/amplifier/firmware.h"
#include "sim/world/device.h"
#include "sim/world/pty.h"
#include "sim/world/world.h"

struct ReceivedFrame {
  double t;          // seconds since the device started
  std::string crc;   // the two digits as received
  std::string text;  // the rest, up to and including ';'
};

// Faults waiting to be applied, for tests of the link's error handling.
struct AmpFaults {
  int dropReplies = 0;     // commands carried out, replies lost
  double silentUntil = 0;  // device seconds; nothing is carried out or answered
  int corruptCrc = 0;      // replies with wrong CRC digits
  int lowerCaseCrc = 0;    // replies whose CRC has letters, sent in lower case
  int rejectCommands = 0;  // answered with the rejected form, not carried out
  int splitReplies = 0;    // replies written in two parts with a pause between
  std::string garbage;     // bytes written at the next chance
};

class AmpDevice : public SimDevice {
 public:
  explicit AmpDevice(const SimContext &context);
  ~AmpDevice() override;

  std::string Name() const override { return "amplifier"; }
  std::vector<std::string> Subjects() const override { return {"amp", "radio", "antenna"}; }
  bool Start(std::string &error) override;
  void Stop() override;
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;
  void Interrupt() override { interrupted_ = true; }

  std::string PortPath() const;
  std::vector<ReceivedFrame> Received() const;
  // The last `count` frames other than the idle polls ("ST;", "FM;"), oldest first.
  std::vector<ReceivedFrame> RecentCommands(size_t count) const;
  // Runs `change` on the firmware under the device's lock (tests).
  void WithFirmware(const std::function<void(AmpFirmware &)> &change);

 private:
  void Run();
  double Now() const;
  void CatchUp();  // world into the model, time forward
  // The bytes to write for one received frame (empty: no reply).
  std::string Answer(const std::string &frame);
  std::string Disturb(std::string reply);
  void Send(const std::string &reply, bool split);
  bool ApplyAmp(const ScenarioEvent &ev, std::string &error);
  // "amp await TEXT [within SECONDS]": returns once the command has come.
  bool AwaitCommand(const ScenarioEvent &ev, std::string &error);
  void ReportState(JsonWriter &json);

  SimContext context_;
  World ownWorld_;  // when the context brings none
  World *world_;
  PtyPort port_;
  mutable std::mutex mutex_;
  std::atomic<bool> interrupted_{false};
  AmpFirmware firmware_;
  AmpFaults faults_;
  FrameSplitter splitter_;
  std::vector<ReceivedFrame> received_;
  size_t receivedDropped_ = 0;
  int64_t startMicros_ = 0;
  double modelTime_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};
