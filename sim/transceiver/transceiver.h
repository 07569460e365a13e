#pragma once
// The simulated companion transceiver: its extended-IO port (parameter
// blocks, spectrum lines; "TU120;TX2;" keys a carrier, "RX;" ends it) and its
// CAT port (identity "DT001;", frequency messages on every change, the
// frequency queries "FA;"/"FB;" and settings "FAnnnnnnnnnnn;").
#include <atomic>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/transceiver/ext_io_messages.h"
#include "sim/world/device.h"
#include "sim/world/pty.h"
#include "sim/world/world.h"

class TransceiverSim : public SimDevice {
 public:
  explicit TransceiverSim(const SimContext &context);
  ~TransceiverSim() override;

  std::string Name() const override { return "transceiver"; }
  std::vector<std::string> Subjects() const override { return {"trx"}; }
  bool Start(std::string &error) override;
  void Stop() override;
  bool Apply(const ScenarioEvent &ev, std::string &error) override;
  void Report(JsonWriter &json) override;

  TrxState State() const;
  bool Wired() const { return wired_; }  // connected to the unit in this run
  struct Command {
    double t;          // seconds since the device started
    std::string port;  // "extio" or "cat"
    std::string text;  // with its ';'
  };
  std::vector<Command> Commands() const;

 private:
  void Run();
  void RunCat();
  void SendCat();
  void Serve(PtyPort &port, std::string &pending, const char *name);
  void Obey(const std::string &command, const char *port);
  void SendChanges();
  void SendSteady();
  void SendExtIo(const std::vector<uint8_t> &message, std::atomic<long> &counter);
  void Changed(bool freqChanged);                     // under mutex_
  void SetVfo(bool vfoB, const std::string &digits);  // under mutex_
  void Key(bool on);                                  // under mutex_
  bool Silent() const;                                // under mutex_
  double Now() const;

  SimContext context_;
  bool wired_ = false;
  PtyPort extIo_, cat_;
  std::thread worker_, catWorker_;
  std::atomic<bool> stop_{false};

  mutable std::mutex mutex_;
  TrxState state_;
  bool changed_ = true;
  std::vector<std::string> catOut_;  // CAT messages waiting to go out
  double silentUntil_ = 0;
  bool ignoreTune_ = false;  // tune requests ("TU…;TX…;") are heard, not obeyed
  bool extIoCable_ = true;   // unplugged: nothing goes either way on the extended-IO port
  std::vector<Command> commands_;
  std::vector<Command> catSent_;  // what went out on the CAT port
  std::string extIoPending_, catPending_;
  bool nextBlockB_ = false;
  std::mt19937 noise_{1234};
  double start_ = 0;

  std::atomic<long> blocksSent_{0}, linesSent_{0}, withheld_{0};
};
