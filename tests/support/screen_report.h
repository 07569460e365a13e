#pragma once
// What the system tests read of the unit's screen: snapshot pictures and the
// texts the report lists for each snapshot.
#include <string>
#include <vector>

struct RgbImage {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;  // R G B, rows top to bottom
  bool Loaded() const { return width > 0; }
  // Red, green and blue of (x, y) as 0xRRGGBB; -1 outside the picture.
  int At(int x, int y) const;
};
// Reads a PNG file as RGB; an empty image when it cannot be read.
RgbImage ReadPng(const std::string &file);

struct ReportText {
  int slot = 0, x = 0, y = 0;
  int colour = 0;  // 0xRRGGBB
  std::string text;
};
// The texts of the snapshot written to `file`, as the report's `screen`
// section lists them (JSON escapes of the texts are left as written).
std::vector<ReportText> SnapshotTexts(const std::string &report, const std::string &file);
// The text drawn at (x, y), or "" when none was.
std::string TextAt(const std::vector<ReportText> &texts, int x, int y);
