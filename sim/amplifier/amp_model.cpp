#include "sim/amplifier/amp_model.h"

#include <algorithm>
#include <cmath>
#include <iterator>

const FreqRange AMP_FILTER_BANDS[8] = {
    {1.75e6, 2.05e6},  {3.45e6, 4.05e6}, {5.25e6, 7.35e6}, {10.0e6, 14.45e6},
    {18.0e6, 21.55e6}, {24.8e6, 29.8e6}, {49.5e6, 54.5e6}, {0, 54.0e6},
};

const FreqRange AMP_TX_BANDS[11] = {
    {1.8e6, 2.0e6},     {3.5e6, 4.0e6},    {5.33e6, 5.41e6},     {7.0e6, 7.3e6},
    {10.1e6, 10.15e6},  {14.0e6, 14.35e6}, {18.068e6, 18.168e6}, {21.0e6, 21.45e6},
    {24.89e6, 24.99e6}, {28.0e6, 29.7e6},  {50.0e6, 54.0e6},
};

namespace {
constexpr double BIAS_A = 0.8;            // quiescent current while keyed
constexpr double IDLE_A = 0.3;            // control board and relays
constexpr double FAN_A = 0.5;             // fan at full speed
constexpr double FULL_EFFICIENCY = 0.55;  // drain efficiency at full output
constexpr double SATURATION_MARGIN = 1.15;
constexpr double COUNTER_RESOLUTION_HZ = 10;
constexpr double MIN_LOAD_OHMS = 1e-3;

bool InRanges(const FreqRange *ranges, size_t n, double f) {
  for (size_t i = 0; i < n; i++)
    if (ranges[i].lowHz <= f && f <= ranges[i].highHz) return true;
  return false;
}

// One filter selected, and its pass band holds the frequency.
bool FilterUsable(uint8_t mask, double f) {
  for (int i = 0; i < 8; i++)
    if (mask == (1 << i)) return InRanges(&AMP_FILTER_BANDS[i], 1, f);
  return false;
}

double PadLossDb(int pads) { return (pads & PAD_3DB ? 3 : 0) + (pads & PAD_2DB ? 2 : 0); }

// Soft saturation of the output stage towards its class.
double Compress(double linearW, double classW) {
  double sat = classW * SATURATION_MARGIN;
  double out = linearW / std::cbrt(1 + std::pow(linearW / sat, 3));
  return std::min(out, classW);
}

double FanPercent(int level) { return std::clamp(level, 0, 100); }
}  // namespace

PowerClassFigures PowerClassOf(int watts) {
  if (watts == 120) return {120, 14, 28};
  return {60, 11, 13.8};
}

struct AmpModel::OperatingPoint {
  bool transmitting = false;
  bool inLine = false;  // by-pass off and no stand-by asked for
  bool inBand = false;
  bool amplifying = false;
  double driveW = 0;
  double stageInputW = 0;  // after the pads
  double forwardW = 0;
  double reflectedW = 0;
  double swr = 1;
  double loadW = 0;
  Impedance tunerInput;
  double currentA = 0;
  double dissipationW = 0;
};

AmpModel::AmpModel(int powerClassW, const MeterCalibration &calibration)
    : class_(PowerClassOf(powerClassW)), calibration_(calibration) {}

MeterCoefficients AmpModel::Coefficients() const {
  return calibration_.At(static_cast<uint32_t>(std::max(0.0, rf_.freqHz)));
}

void AmpModel::SetLoad(int antenna, const AntennaLoad &load) {
  loads_[std::clamp(antenna, 0, 2)] = load;
}

const AntennaLoad &AmpModel::Load(int antenna) const { return loads_[std::clamp(antenna, 0, 2)]; }

Impedance AmpModel::LoadImpedance() const {
  const AntennaLoad &load = Load(controls_.antenna);
  return {std::max(load.RAt(rf_.freqHz), MIN_LOAD_OHMS), load.XAt(rf_.freqHz)};
}

void AmpModel::Restart() {
  controls_ = AmpControls{};
  latchedC_ = 0;
  highSwrLatched_ = false;
  restarted_ = true;
}

void AmpModel::ClearProtections() {
  latchedC_ = 0;
  highSwrLatched_ = false;
}

bool AmpModel::HeldOff() const { return latchedC_ != 0 || highSwrLatched_; }

AmpModel::OperatingPoint AmpModel::Operate() const {
  OperatingPoint op;
  double f = rf_.freqHz;
  op.driveW = rf_.on ? std::max(0.0, rf_.driveW) : 0;
  op.transmitting = op.driveW >= RF_SENSE_W;
  op.inLine = !controls_.bypass && !controls_.protectionMode;
  op.inBand = InRanges(AMP_TX_BANDS, std::size(AMP_TX_BANDS), f);
  op.amplifying = op.transmitting && op.inLine && op.inBand && !HeldOff();
  op.stageInputW = op.driveW * std::pow(10, -PadLossDb(controls_.pads) / 10);
  // Otherwise the relays pass the drive straight on to the tuner.
  double gain = std::pow(10, class_.gainDb / 10);
  op.forwardW = op.amplifying ? Compress(op.stageInputW * gain, class_.watts) : op.driveW;

  TunerSetting setting = DecodeTunerWord(controls_.tuneWord);
  Impedance load = LoadImpedance();
  op.tunerInput = tuner_.InputImpedance(setting, load, f);
  double rho = ReflectionMagnitude(op.tunerInput);
  op.swr = SwrFromReflection(rho);
  op.reflectedW = rho * rho * op.forwardW;
  double accepted = op.forwardW - op.reflectedW;
  op.loadW = accepted * tuner_.Efficiency(setting, load, f);

  op.currentA = IDLE_A + FAN_A * FanPercent(controls_.fanLevel) / 100;
  if (op.amplifying) {
    // Class AB: the supply current follows the output voltage swing.
    double fullA = class_.watts / (FULL_EFFICIENCY * class_.supplyVolts);
    double rfA = BIAS_A + fullA * std::sqrt(op.forwardW / class_.watts);
    op.currentA += rfA;
    // The reflected wave comes back into the transistors.
    op.dissipationW = class_.supplyVolts * rfA - accepted;
  }
  return op;
}

uint8_t AmpModel::StatusC(const OperatingPoint &op) const {
  uint8_t c = latchedC_;
  if (op.amplifying && op.stageInputW > OVERDRIVE_W) c |= STC_OVERDRIVE;
  if (op.transmitting && op.inLine && !op.inBand) c |= STC_BAND;
  if (restarted_) c |= STC_RESTARTED;
  return c;
}

AmpReadings AmpModel::Readings() const {
  OperatingPoint op = Operate();
  AmpReadings r;
  r.transmitting = op.transmitting;
  r.amplifying = op.amplifying;
  r.freqHz = rf_.freqHz;
  r.inputW = op.driveW;
  r.forwardW = op.forwardW;
  r.reflectedW = op.reflectedW;
  r.swr = op.swr;
  r.loadW = op.loadW;
  r.tunerInput = op.tunerInput;
  r.currentA = op.currentA;
  r.dissipationW = op.dissipationW;
  if (op.transmitting)
    r.measuredFreqHz = static_cast<uint32_t>(std::lround(rf_.freqHz / COUNTER_RESOLUTION_HZ) *
                                             COUNTER_RESOLUTION_HZ);

  MeterCoefficients k = Coefficients();
  r.countInput = PowerToCount(op.driveW, k.kPwin);
  r.countForward = PowerToCount(op.forwardW, k.kFwd);
  // The reflected detector also sees the coupler's forward leakage; the
  // controller removes it with kCorr times its own forward reading.
  double forwardRead = CountToPower(r.countForward, k.kFwd);
  r.countReflected = PowerToCount(op.reflectedW - k.kCorr * forwardRead, k.kRefl);
  r.countPeak = PowerToCount(op.driveW, k.kFwd);
  long current = std::lround(op.currentA * 4096 / CURRENT_FULL_SCALE_A);
  r.countCurrent = static_cast<int>(std::clamp(current, 0L, long(ADC_FULL_SCALE)));
  for (int s = 0; s < 2; s++) {
    r.temperature[s] = thermal_.Temperature(s + 1);
    r.countTemp[s] = ThermistorCount(r.temperature[s]);
  }

  const AmpControls &c = controls_;
  r.statusA = (c.pads & PAD_3DB ? 8 : 0) | (c.pads & PAD_2DB ? 4 : 0) | (c.anValue ? 1 : 0);
  r.statusB = (op.transmitting ? STB_TRANSMITTING : 0) | (highSwrLatched_ ? STB_HIGH_SWR : 0) |
              (HeldOff() || c.protectionMode ? STB_PROTECTION : 0) | (c.bypass ? STB_BYPASS : 0);
  r.statusC = StatusC(op);
  return r;
}

void AmpModel::Trip(const OperatingPoint &op, const AmpReadings &r) {
  if (!op.amplifying) return;
  const int *ts = controls_.thresholds;
  if (r.countCurrent > ts[TS_CURRENT]) latchedC_ |= STC_CURRENT;
  if (r.countReflected > ts[TS_REFL]) latchedC_ |= STC_REFLECTED;
  if (r.countForward > ts[TS_FWD]) latchedC_ |= STC_FORWARD;
  if (r.countInput > ts[TS_PWIN]) latchedC_ |= STC_INPUT_SENSOR;
  if (!FilterUsable(controls_.filterMask, rf_.freqHz)) latchedC_ |= STC_FILTER;
  if (op.swr >= HIGH_SWR_TRIP && op.reflectedW > class_.watts / 10.0) highSwrLatched_ = true;
}

void AmpModel::Advance(double seconds) {
  OperatingPoint op = Operate();
  thermal_.Advance(seconds, op.dissipationW, FanPercent(controls_.fanLevel));
  Trip(op, Readings());
}

double AmpModel::Swr(uint32_t tuneWord) const {
  Impedance z = tuner_.InputImpedance(DecodeTunerWord(tuneWord), LoadImpedance(), rf_.freqHz);
  return SwrFromReflection(ReflectionMagnitude(z));
}

BestTune AmpModel::FindBestTune() const { return tuner_.FindBestTune(LoadImpedance(), rf_.freqHz); }
