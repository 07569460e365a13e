#pragma once
// The amplifier's power meters: directional-coupler and input detectors read
// by a 12-bit converter. A reading N of a detector with coefficient k stands
// for k * N * N watts; the coefficients per band are the unit's calibration,
// the rows of config.txt. The model's counts are chosen so that the
// controller's own decoding gives back the modelled watts.
#include <cstdint>
#include <string>
#include <vector>

constexpr int ADC_FULL_SCALE = 4095;

// Watts per squared count, and the directivity correction: the reflected
// detector also sees -kCorr times the forward power, which the controller
// adds back (kCorr is negative for a real coupler).
struct MeterCoefficients {
  double kFwd;
  double kRefl;
  double kPwin;
  double kCorr;
};

// The values the controller uses when config.txt is absent.
constexpr MeterCoefficients DEFAULT_METER_COEFFICIENTS{5.156579e-6, 3.3262754e-6, 5.5078103e-6,
                                                       -0.007};

struct MeterCalibrationRow {
  uint32_t fStart = 0;
  MeterCoefficients k{};
};

class MeterCalibration {
 public:
  MeterCalibration() = default;  // no rows: the defaults everywhere
  explicit MeterCalibration(std::vector<MeterCalibrationRow> rows) : rows_(std::move(rows)) {}

  // The coefficients for a frequency, with the controller's row rule: row i
  // covers [fStart(i), fStart(i+1)); the last row only closes the range; with
  // rows but none covering the frequency every coefficient is 1.0.
  MeterCoefficients At(uint32_t freqHz) const;
  const std::vector<MeterCalibrationRow> &Rows() const { return rows_; }

 private:
  std::vector<MeterCalibrationRow> rows_;
};

// Reads the coefficient columns of config.txt text (lines of at most 255
// characters, ';' comments, every other line a row; numbers 1 and 3..9).
MeterCalibration ParseCalibrationText(const std::string &text);
// The file, or no rows when it cannot be read.
MeterCalibration LoadCalibrationFile(const std::string &path);

// The count that decodes to `watts` with coefficient k: round(sqrt(P / k)),
// limited to the converter's range.
int PowerToCount(double watts, double k);
double CountToPower(int count, double k);
