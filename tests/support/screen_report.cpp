#include "tests/support/screen_report.h"

#include <png.h>

#include <regex>

#include "tests/support/sim_report.h"

int RgbImage::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return -1;
  const unsigned char *p = &pixels[(size_t(y) * width + x) * 3];
  return p[0] << 16 | p[1] << 8 | p[2];
}

RgbImage ReadPng(const std::string &file) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  RgbImage image;
  if (!png_image_begin_read_from_file(&png, file.c_str())) return image;
  png.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) return image;
  image.width = int(png.width);
  image.height = int(png.height);
  image.pixels = std::move(pixels);
  return image;
}

std::vector<ReportText> SnapshotTexts(const std::string &report, const std::string &file) {
  std::string screen = ReportSection(report, "screen");
  std::string key = "\"file\":\"" + file + "\"";
  size_t at = screen.find(key);
  std::vector<ReportText> texts;
  if (at == std::string::npos) return texts;
  size_t end = screen.find("]}", at);  // the end of this snapshot's texts
  std::string part = screen.substr(at, end == std::string::npos ? std::string::npos : end - at);
  std::regex text(
      "\\{\"slot\":(\\d+),\"x\":(-?\\d+),\"y\":(-?\\d+),\"colour\":\\[(\\d+),(\\d+),(\\d+)\\],"
      "\"text\":\"((?:[^\"\\\\]|\\\\.)*)\"\\}");
  for (std::sregex_iterator it(part.begin(), part.end(), text), last; it != last; ++it) {
    const std::smatch &m = *it;
    texts.push_back({std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]),
                     std::stoi(m[4]) << 16 | std::stoi(m[5]) << 8 | std::stoi(m[6]), m[7]});
  }
  return texts;
}

std::string TextAt(const std::vector<ReportText> &texts, int x, int y) {
  for (const ReportText &t : texts)
    if (t.x == x && t.y == y) return t.text;
  return "";
}
