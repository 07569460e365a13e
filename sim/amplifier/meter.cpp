#include "sim/amplifier/meter.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
constexpr size_t LINE_BUFFER = 256;  // a longer line reads as several

// Splits like a fixed-buffer line reader: at '\n' and every 255 characters.
std::vector<std::string> ConfigLines(const std::string &text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    line += c;
    if (c == '\n' || line.size() == LINE_BUFFER - 1) {
      lines.push_back(line);
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string StripLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// P / (N * N) of one measured pair; zero pairs give no usable coefficient.
double Coefficient(double watts, double count) {
  double k = watts / (count * count);
  return std::isfinite(k) ? k : 0;
}

MeterCalibrationRow ParseRow(const std::string &line) {
  const char *p = line.c_str();
  char *end = nullptr;
  MeterCalibrationRow row;
  row.fStart = static_cast<uint32_t>(strtoul(p, &end, 0));
  p = end;
  strtoul(p, &end, 0);  // the second value is not used
  p = end;
  double v[7];
  for (double &x : v) {
    x = strtod(p, &end);
    p = end;
  }
  row.k = {Coefficient(v[0], v[1]), Coefficient(v[2], v[3]), Coefficient(v[4], v[5]), v[6]};
  return row;
}
}  // namespace

MeterCoefficients MeterCalibration::At(uint32_t freqHz) const {
  if (rows_.empty()) return DEFAULT_METER_COEFFICIENTS;
  MeterCoefficients k{1.0, 1.0, 1.0, 1.0};
  for (size_t i = 0; i + 1 < rows_.size(); i++)
    if (rows_[i].fStart <= freqHz && freqHz < rows_[i + 1].fStart) k = rows_[i].k;
  return k;
}

MeterCalibration ParseCalibrationText(const std::string &text) {
  std::vector<MeterCalibrationRow> rows;
  for (const std::string &raw : ConfigLines(text)) {
    std::string line = StripLineEnd(raw);
    if (!line.empty() && line[0] == ';') continue;
    rows.push_back(ParseRow(line));
  }
  return MeterCalibration(std::move(rows));
}

MeterCalibration LoadCalibrationFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::stringstream text;
  text << in.rdbuf();
  return ParseCalibrationText(text.str());
}

int PowerToCount(double watts, double k) {
  if (!(watts > 0) || !(k > 0)) return 0;
  double n = std::round(std::sqrt(watts / k));
  return n < ADC_FULL_SCALE ? static_cast<int>(n) : ADC_FULL_SCALE;
}

double CountToPower(int count, double k) { return k * count * count; }
