#pragma once
// The simulated FT-817 on its CAT port: 38400 baud 8N2, 5-byte commands; the
// frequency-and-mode read (opcode 3) is answered with four BCD bytes of the
// frequency in 10 Hz steps and the mode byte. It can fall silent or answer
// with bytes that are not BCD.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/world/device.h"
#include "sim/world/pty.h"
#include "sim/world/world.h"

constexpr int FT817_COMMAND_BYTES = 5;

// The reply to the frequency-and-mode read.
std::vector<uint8_t> Ft817FrequencyReply(uint32_t hz, uint8_t mode);

class Ft817Sim : public SimDevice {
 public:
  explicit Ft817Sim(const SimContext &context);
  ~Ft817Sim() override;

  std::string Name() const override { return "ft817"; }
  std::vector<std::string> Subjects() const override { return {"ft817"}; }
  bool Start(std::string &error) override;
  void Stop() override;
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;

  long Requests() const { return requests_; }
  bool Wired() const { return wired_; }  // connected to the unit in this run
  struct Setting {
    uint32_t freqHz;
    uint8_t mode;
  };
  Setting Dial() const;  // frequency and mode as set now

 private:
  void Run();
  void Answer(const uint8_t *command);
  double Now() const;

  SimContext context_;
  bool wired_ = false;
  PtyPort port_;
  std::thread worker_;
  std::atomic<bool> stop_{false};

  mutable std::mutex mutex_;
  uint32_t freqHz_ = 14074000;
  uint8_t mode_ = 0x01;
  double silentUntil_ = 0;
  int garbageLeft_ = 0;
  double start_ = 0;
  double firstRequest_ = -1, lastRequest_ = -1;

  std::atomic<long> requests_{0}, replies_{0}, garbageSent_{0}, ignored_{0}, withheld_{0};
};
