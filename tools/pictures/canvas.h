#pragma once
// A small anti-aliased painter for the background pictures: shapes by exact
// pixel coverage (distance to the shape's edge), text with FreeType.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <functional>
#include <string>
#include <vector>

#include "display/png_write.h"

struct Rgb {
  double r, g, b;  // 0 … 255
};
Rgb Mix(Rgb a, Rgb b, double t);  // t 0 gives a, 1 gives b

struct Point {
  double x, y;
};

// Coverage (0 … 1) of one shape over a box of the canvas, so that
// overlapping parts of one shape (joints of a polyline) are painted once.
class Mask {
 public:
  Mask(int x0, int y0, int x1, int y1);       // pixels x0 ≤ x < x1, y0 ≤ y < y1
  void Cover(int x, int y, double coverage);  // keeps the larger coverage
  int X0() const { return x0_; }
  int Y0() const { return y0_; }
  int Width() const { return w_; }
  int Height() const { return h_; }
  double At(int x, int y) const { return a_[size_t(y - y0_) * w_ + (x - x0_)]; }

  void AddSegment(Point a, Point b, double width);  // round ends
  void AddDisc(Point centre, double radius);
  // Rounded rectangle, filled; with `ring` > 0 only a band of that width inside its edge.
  void AddRoundRect(double x0, double y0, double x1, double y1, double radius, double ring = 0);

 private:
  int x0_, y0_, w_, h_;
  std::vector<double> a_;
};

class Font {
 public:
  Font(const std::string &file, int pixelSize);
  ~Font();
  Font(const Font &) = delete;
  Font &operator=(const Font &) = delete;
  bool Loaded() const { return face_ != nullptr; }
  FT_Face Face() const { return face_; }
  int PixelSize() const { return size_; }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  int size_;
};

enum class Align { Left, Centre, Right };

struct TextStyle {
  const Font *font;
  Rgb colour;
  double tracking = 0;  // extra pixels between letters
};

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill);
  int Width() const { return w_; }
  int Height() const { return h_; }

  void Blend(int x, int y, Rgb colour, double alpha);
  void Paint(const Mask &mask, Rgb colour, double alpha = 1);
  void Paint(const Mask &mask, const std::function<Rgb(int x, int y)> &colour, double alpha = 1);

  void FillRect(int x0, int y0, int x1, int y1, Rgb colour, double alpha = 1);
  void VerticalGradient(int x0, int y0, int x1, int y1, Rgb top, Rgb bottom);
  void Line(Point a, Point b, double width, Rgb colour, double alpha = 1);
  void Polyline(const std::vector<Point> &points, double width, Rgb colour, double alpha = 1);
  void Disc(Point centre, double radius, Rgb colour, double alpha = 1);
  void RoundRect(double x0, double y0, double x1, double y1, double radius, Rgb colour,
                 double alpha = 1);
  void RoundRectOutline(double x0, double y0, double x1, double y1, double radius, double width,
                        Rgb colour, double alpha = 1);

  // Text with its baseline at y; x is its left end, centre or right end.
  void Text(const TextStyle &style, const std::string &text, double x, double y, Align align);
  // Text centred on a point (the middle of its digits' height).
  void TextCentredAt(const TextStyle &style, const std::string &text, Point centre);

  PngPicture ToPicture() const;

 private:
  int w_, h_;
  std::vector<Rgb> px_;
};

double TextWidth(const TextStyle &style, const std::string &text);
// The coverage of a text placed as Canvas::Text places it.
Mask TextMask(const TextStyle &style, const std::string &text, double x, double y, Align align);
