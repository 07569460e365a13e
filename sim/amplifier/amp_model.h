#pragma once
// The simulated amplifier as a physical model, without any I/O: what its
// microcontroller's commands set (AmpControls), the world around it (RF drive
// and antenna loads), and what follows — output power, the tuner's SWR,
// meter readings as converter counts, supply current, heat, protections and
// the three status bytes of the "ST" reply.
//
// Public API:
//   AmpModel model(60);                      // 60 or 120 W class
//   model.SetRf({true, 7100000, 5});         // exciter: on, Hz, watts
//   model.SetLoad(0, {25, 30});              // antenna 1: R + jX
//   model.Controls().tuneWord = word;        // what the commands set
//   model.Advance(seconds);                  // heat, protection trips
//   AmpReadings r = model.Readings();        // watts, SWR, counts, status bytes
//   model.Swr(word), model.FindBestTune()    // for tuner searches in tests
// The counts decode with the controller's formulas (P = k N^2 with the
// coefficients of MeterCalibration) to the modelled watts.
#include <cstdint>
#include <string>

#include "sim/amplifier/meter.h"
#include "sim/amplifier/thermal.h"
#include "sim/amplifier/tuner_network.h"
#include "sim/world/world.h"

// Threshold order of "TS": input power, forward, reflected, current.
enum ThresholdIndex { TS_PWIN = 0, TS_FWD = 1, TS_REFL = 2, TS_CURRENT = 3 };

// Pad bits as in the "AT" digits: the first digit is the 3 dB pad.
constexpr int PAD_3DB = 2;
constexpr int PAD_2DB = 1;

// Latched protections and other bits of statusC.
enum StatusCBit : uint8_t {
  STC_CURRENT = 1 << 0,
  STC_REFLECTED = 1 << 1,
  STC_FORWARD = 1 << 2,
  STC_INPUT_SENSOR = 1 << 3,
  STC_FILTER = 1 << 4,
  STC_OVERDRIVE = 1 << 5,
  STC_BAND = 1 << 6,
  STC_RESTARTED = 1 << 7,
};

enum StatusBBit : uint8_t {
  STB_TRANSMITTING = 1 << 0,
  STB_HIGH_SWR = 1 << 1,
  STB_PROTECTION = 1 << 2,  // a protection holds the amplifier off
  STB_BYPASS = 1 << 3,
};

// The microcontroller's settings, as the commands leave them. Defaults are
// the power-on values.
struct AmpControls {
  int antenna = 0;  // 0..2 ("SA1;" selects 0)
  uint8_t filterMask = 0;
  int thresholds[4] = {ADC_FULL_SCALE, ADC_FULL_SCALE, 1500, 3700};
  int protectionParams[4] = {0, 0, 0, 0};  // "PS", stored only
  int pads = 0;                            // PAD_3DB | PAD_2DB
  bool bypass = true;                      // amplifier by-passed ("AB1;")
  bool protectionMode = false;             // "MP1;": held in stand-by
  int fanLevel = 0;                        // "FN1%03d;", percent
  uint32_t tuneWord = 0;
  int anValue = 0;
  int tuneDigit = 0;  // "TU"
  int freqSensorInput = 0;
  int freqPeriod = 0;
  uint32_t controllerFreqHz = 0;  // "FA"
  int genericParams[2] = {0, 0};  // "GM"
  std::string genericSettings = "0000000000";
  bool serviceMode = false;  // "SE11234;"
};

struct AmpReadings {
  bool transmitting = false;  // RF on the input
  bool amplifying = false;    // in line and not held off
  double freqHz = 0;
  double inputW = 0;  // drive at the input connector
  double forwardW = 0;
  double reflectedW = 0;
  double swr = 1;    // of the tuner input, also without RF
  double loadW = 0;  // reaching the antenna
  Impedance tunerInput;
  double currentA = 0;
  double dissipationW = 0;
  double temperature[2] = {0, 0};  // sensors 1 and 2
  uint32_t measuredFreqHz = 0;     // frequency counter, 0 without RF
  uint8_t statusA = 0, statusB = 0, statusC = 0;
  // Converter counts as the "ST" reply carries them.
  int countInput = 0, countForward = 0, countReflected = 0, countCurrent = 0, countPeak = 0;
  int countTemp[2] = {0, 0};
};

// Figures of each power class.
struct PowerClassFigures {
  int watts;
  double gainDb;
  double supplyVolts;
};
PowerClassFigures PowerClassOf(int watts);  // 120 for the 120 W class, else 60

// Supply-current reading: count / 4096 * 14.05 A.
constexpr double CURRENT_FULL_SCALE_A = 14.05;
// Drive below this does not key the amplifier (RF sense).
constexpr double RF_SENSE_W = 0.1;
// Drive after the pads above which statusC bit 5 reports over-drive.
constexpr double OVERDRIVE_W = 10;
// High-SWR protection: SWR at least this with reflected power above a tenth
// of the class.
constexpr double HIGH_SWR_TRIP = 3.0;

// The band filters' pass bands (filter i is bit i of the "SF" mask; the last
// one is the through path to the outer connector) and the bands the
// amplifier transmits on.
struct FreqRange {
  double lowHz, highHz;
};
extern const FreqRange AMP_FILTER_BANDS[8];
extern const FreqRange AMP_TX_BANDS[11];

class AmpModel {
 public:
  explicit AmpModel(int powerClassW = 60, const MeterCalibration &calibration = {});

  void SetPowerClass(int watts) { class_ = PowerClassOf(watts); }
  int PowerClass() const { return class_.watts; }
  void SetCalibration(const MeterCalibration &calibration) { calibration_ = calibration; }
  const MeterCalibration &Calibration() const { return calibration_; }
  // The coefficients the meters follow at the present RF frequency.
  MeterCoefficients Coefficients() const;

  void SetRf(const RfSource &rf) { rf_ = rf; }
  const RfSource &Rf() const { return rf_; }
  void SetLoad(int antenna, const AntennaLoad &load);
  const AntennaLoad &Load(int antenna) const;

  AmpControls &Controls() { return controls_; }
  const AmpControls &Controls() const { return controls_; }
  ThermalModel &Thermal() { return thermal_; }
  const TunerModel &Tuner() const { return tuner_; }

  // A restart of the microcontroller: power-on settings, latches cleared and
  // the restart bit set until ClearRestartFlag ("MR0;").
  void Restart();
  void ClearRestartFlag() { restarted_ = false; }
  void ClearProtections();  // "CPFFFF;"

  // Lets `seconds` pass: heat flows, then the protections look at the
  // present operating point and latch.
  void Advance(double seconds);
  AmpReadings Readings() const;

  // SWR at the tuner input with another word, everything else as it is.
  double Swr(uint32_t tuneWord) const;
  // The lowest SWR any tuner word reaches on the selected antenna.
  BestTune FindBestTune() const;

 private:
  struct OperatingPoint;
  OperatingPoint Operate() const;
  Impedance LoadImpedance() const;
  bool HeldOff() const;
  void Trip(const OperatingPoint &op, const AmpReadings &r);
  uint8_t StatusC(const OperatingPoint &op) const;

  PowerClassFigures class_;
  MeterCalibration calibration_;
  TunerModel tuner_;
  ThermalModel thermal_;
  RfSource rf_;
  AntennaLoad loads_[3];
  AmpControls controls_;
  uint8_t latchedC_ = 0;  // STC_CURRENT..STC_FILTER
  bool highSwrLatched_ = false;
  bool restarted_ = true;
};
