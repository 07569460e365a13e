#include "sim/panel/panel_controller.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double DIVIDER = 118, DIVIDER_HIGH_POWER = 348;
constexpr double SUPPLY_VOLTS = 13.8, SUPPLY_VOLTS_HIGH_POWER = 48.0;
constexpr int REPLY_BITS = 12;
constexpr size_t MAX_RECORDED = 100000;

// The count the converter gives for `volts` through a divider that the unit
// reads back as n × 3.3 × k / 255 / 18.
uint8_t SupplyCount(double volts, double k) {
  double n = std::round(volts * 255 * 18 / (3.3 * k));
  return static_cast<uint8_t>(std::clamp(n, 0.0, 255.0));
}
}  // namespace

void PanelController::Reset() {
  phase_ = Phase::Listening;
  bits_ = 0;
  commands_.clear();
  framingErrors_ = 0;
}

void PanelController::SetSupply(int cls, double volts) {
  volts_[cls] = volts;
  raw_[cls].reset();
}

void PanelController::SetRawReply(int cls, uint8_t count) { raw_[cls] = count; }

uint8_t PanelController::Reply(int cls) const {
  if (raw_[cls]) return *raw_[cls];
  if (cls != 3) return SupplyCount(volts_[cls], DIVIDER);
  bool high = ampClass_ && ampClass_() == 120;
  double volts = volts_[3] >= 0 ? volts_[3] : high ? SUPPLY_VOLTS_HIGH_POWER : SUPPLY_VOLTS;
  return SupplyCount(volts, high ? DIVIDER_HIGH_POWER : DIVIDER);
}

void PanelController::ClockEdge(bool rising, bool data) {
  if (phase_ == Phase::Answering) {
    if (rising && --answerBit_ < 0) phase_ = Phase::Done;
    return;
  }
  if (phase_ != Phase::Listening || rising) return;
  command_ = static_cast<uint8_t>(command_ << 1 | (data ? 1 : 0));
  if (++bits_ < 8) return;
  if (commands_.size() < MAX_RECORDED) commands_.push_back({now_ ? now_() : 0, command_});
  answer_ = static_cast<uint16_t>(filler_ << 8 | Reply(command_ & 3));
  answerBit_ = REPLY_BITS - 1;
  phase_ = Phase::Answering;
}

void PanelController::DataDirection(bool unitDrives) {
  if (unitDrives) {
    // The unit takes the line back: whatever came before, a new byte starts.
    if (phase_ == Phase::Answering) framingErrors_++;
    phase_ = Phase::Listening;
    bits_ = 0;
  } else if (phase_ == Phase::Listening) {
    framingErrors_++;  // the unit listens before the command was whole
  }
}

std::optional<bool> PanelController::Driving() const {
  if (absent_ || phase_ != Phase::Answering) return std::nullopt;
  return (answer_ >> answerBit_) & 1;
}
