#pragma once
// The small controller on the front panel, at the far end of the two-wire
// link: it takes a command byte (data sampled on each falling clock edge,
// most significant bit first) and answers 12 bits, the first driven at once
// after the eighth bit and each next one after a rising edge: 4 filler bits,
// then the reading of the command's class (command AND 3): 0 its version,
// 1 the 12 V supply, 2 the 15 V supply, 3 the amplifier's supply.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

struct PanelCommand {
  double t;  // seconds since the controller was reset
  uint8_t byte;
};

class PanelController {
 public:
  // Called on every clock edge with the data line as the unit drives it.
  void ClockEdge(bool rising, bool data);
  // The unit switched the data line to output (true) or to input.
  void DataDirection(bool unitDrives);
  // The level the controller drives onto the data line, if any.
  std::optional<bool> Driving() const;

  void Reset();  // listening, nothing received yet
  // The clock of the record of commands received.
  void SetNow(std::function<double()> now) { now_ = std::move(now); }
  void SetSupply(int cls, double volts);     // classes 1..3
  void SetRawReply(int cls, uint8_t count);  // classes 0..3, instead of a measurement
  void SetFiller(uint8_t bits) { filler_ = bits & 0xF; }
  void SetAbsent(bool absent) { absent_ = absent; }
  void SetAmpPowerClass(std::function<int()> watts) { ampClass_ = std::move(watts); }

  bool Absent() const { return absent_; }
  const std::vector<PanelCommand> &Commands() const { return commands_; }
  int FramingErrors() const { return framingErrors_; }
  uint8_t Reply(int cls) const;

 private:
  enum class Phase { Listening, Answering, Done };
  Phase phase_ = Phase::Listening;
  int bits_ = 0;
  uint8_t command_ = 0;
  uint16_t answer_ = 0;
  int answerBit_ = -1;

  bool absent_ = false;
  uint8_t filler_ = 0xA;
  double volts_[4] = {0, 12.0, 15.0, -1};  // -1: the class's usual supply
  std::optional<uint8_t> raw_[4] = {uint8_t(0x15), std::nullopt, std::nullopt, std::nullopt};
  std::function<int()> ampClass_;
  std::function<double()> now_;
  std::vector<PanelCommand> commands_;
  int framingErrors_ = 0;
};
