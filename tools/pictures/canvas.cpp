#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "display/text.h"

namespace {
double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

double DistanceToSegment(Point p, Point a, Point b) {
  double vx = b.x - a.x, vy = b.y - a.y;
  double len2 = vx * vx + vy * vy;
  double t = len2 > 0 ? Clamp01(((p.x - a.x) * vx + (p.y - a.y) * vy) / len2) : 0;
  return std::hypot(p.x - (a.x + t * vx), p.y - (a.y + t * vy));
}

// Signed distance to a rounded rectangle: negative inside.
double RoundRectDistance(Point p, double x0, double y0, double x1, double y1, double r) {
  double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  double qx = std::abs(p.x - cx) - ((x1 - x0) / 2 - r);
  double qy = std::abs(p.y - cy) - ((y1 - y0) / 2 - r);
  double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return outside + std::min(std::max(qx, qy), 0.0) - r;
}

// Code points of a UTF-8 text, decoded as the product decodes it.
std::vector<uint32_t> CodePoints(const std::string &text) {
  std::vector<uint32_t> out;
  int position = 0, valid = 0;
  uint32_t cp = 0;
  while (utf8_get_next_char(reinterpret_cast<const uint8_t *>(text.data()), int(text.size()),
                            &position, &valid, &cp) == 1)
    out.push_back(valid ? cp : 0);
  return out;
}
}  // namespace

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Mask::Mask(int x0, int y0, int x1, int y1)
    : x0_(x0),
      y0_(y0),
      w_(std::max(0, x1 - x0)),
      h_(std::max(0, y1 - y0)),
      a_(size_t(w_) * h_, 0.0) {}

void Mask::Cover(int x, int y, double coverage) {
  if (x < x0_ || y < y0_ || x >= x0_ + w_ || y >= y0_ + h_) return;
  double &a = a_[size_t(y - y0_) * w_ + (x - x0_)];
  a = std::max(a, Clamp01(coverage));
}

void Mask::AddSegment(Point a, Point b, double width) {
  double half = width / 2 + 1;
  int xa = int(std::floor(std::min(a.x, b.x) - half)),
      xb = int(std::ceil(std::max(a.x, b.x) + half));
  int ya = int(std::floor(std::min(a.y, b.y) - half)),
      yb = int(std::ceil(std::max(a.y, b.y) + half));
  double thin = std::min(1.0, width);  // a hairline is fainter, not wider
  for (int y = ya; y <= yb; y++)
    for (int x = xa; x <= xb; x++) {
      double d = DistanceToSegment({x + 0.5, y + 0.5}, a, b);
      Cover(x, y, Clamp01(std::max(width, 1.0) / 2 + 0.5 - d) * thin);
    }
}

void Mask::AddDisc(Point c, double radius) {
  for (int y = int(c.y - radius - 1); y <= int(c.y + radius + 1); y++)
    for (int x = int(c.x - radius - 1); x <= int(c.x + radius + 1); x++)
      Cover(x, y, 0.5 - (std::hypot(x + 0.5 - c.x, y + 0.5 - c.y) - radius));
}

void Mask::AddRoundRect(double x0, double y0, double x1, double y1, double radius, double ring) {
  for (int y = int(std::floor(y0)) - 1; y <= int(std::ceil(y1)); y++)
    for (int x = int(std::floor(x0)) - 1; x <= int(std::ceil(x1)); x++) {
      double d = RoundRectDistance({x + 0.5, y + 0.5}, x0, y0, x1, y1, radius);
      double inside = Clamp01(0.5 - d);
      if (ring > 0) inside -= Clamp01(0.5 - (d + ring));
      Cover(x, y, inside);
    }
}

Font::Font(const std::string &file, int pixelSize) : size_(pixelSize) {
  if (FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    return;
  }
  if (FT_New_Face(library_, file.c_str(), 0, &face_) != 0 ||
      FT_Set_Pixel_Sizes(face_, 0, pixelSize) != 0) {
    if (face_) FT_Done_Face(face_);
    face_ = nullptr;
  }
}

Font::~Font() {
  if (face_) FT_Done_Face(face_);
  if (library_) FT_Done_FreeType(library_);
}

Canvas::Canvas(int width, int height, Rgb fill)
    : w_(width), h_(height), px_(size_t(w_) * h_, fill) {}

void Canvas::Blend(int x, int y, Rgb c, double alpha) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || alpha <= 0) return;
  Rgb &p = px_[size_t(y) * w_ + x];
  p = Mix(p, c, std::min(alpha, 1.0));
}

void Canvas::Paint(const Mask &mask, Rgb colour, double alpha) {
  Paint(
      mask, [colour](int, int) { return colour; }, alpha);
}

void Canvas::Paint(const Mask &mask, const std::function<Rgb(int, int)> &colour, double alpha) {
  for (int y = mask.Y0(); y < mask.Y0() + mask.Height(); y++)
    for (int x = mask.X0(); x < mask.X0() + mask.Width(); x++) {
      double a = mask.At(x, y);
      if (a > 0) Blend(x, y, colour(x, y), a * alpha);
    }
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, Rgb colour, double alpha) {
  for (int y = std::max(0, y0); y < std::min(h_, y1); y++)
    for (int x = std::max(0, x0); x < std::min(w_, x1); x++) Blend(x, y, colour, alpha);
}

void Canvas::VerticalGradient(int x0, int y0, int x1, int y1, Rgb top, Rgb bottom) {
  for (int y = y0; y < y1; y++) {
    Rgb c = Mix(top, bottom, y1 - y0 > 1 ? double(y - y0) / (y1 - y0 - 1) : 0);
    FillRect(x0, y, x1, y + 1, c);
  }
}

void Canvas::Line(Point a, Point b, double width, Rgb colour, double alpha) {
  Polyline({a, b}, width, colour, alpha);
}

void Canvas::Polyline(const std::vector<Point> &points, double width, Rgb colour, double alpha) {
  if (points.empty()) return;
  double x0 = points[0].x, x1 = x0, y0 = points[0].y, y1 = y0;
  for (const Point &p : points) {
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
    y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  int pad = int(width) + 2;
  Mask mask(int(x0) - pad, int(y0) - pad, int(x1) + pad + 1, int(y1) + pad + 1);
  for (size_t i = 1; i < points.size(); i++) mask.AddSegment(points[i - 1], points[i], width);
  if (points.size() == 1) mask.AddSegment(points[0], points[0], width);
  Paint(mask, colour, alpha);
}

void Canvas::Disc(Point c, double radius, Rgb colour, double alpha) {
  int pad = int(radius) + 2;
  Mask mask(int(c.x) - pad, int(c.y) - pad, int(c.x) + pad + 1, int(c.y) + pad + 1);
  mask.AddDisc(c, radius);
  Paint(mask, colour, alpha);
}

void Canvas::RoundRect(double x0, double y0, double x1, double y1, double radius, Rgb colour,
                       double alpha) {
  Mask mask(int(x0) - 1, int(y0) - 1, int(x1) + 2, int(y1) + 2);
  mask.AddRoundRect(x0, y0, x1, y1, radius);
  Paint(mask, colour, alpha);
}

void Canvas::RoundRectOutline(double x0, double y0, double x1, double y1, double radius,
                              double width, Rgb colour, double alpha) {
  Mask mask(int(x0) - 1, int(y0) - 1, int(x1) + 2, int(y1) + 2);
  mask.AddRoundRect(x0, y0, x1, y1, radius, width);
  Paint(mask, colour, alpha);
}

double TextWidth(const TextStyle &style, const std::string &text) {
  FT_Face face = style.font->Face();
  if (!face) return 0;
  double width = 0;
  std::vector<uint32_t> cps = CodePoints(text);
  for (uint32_t cp : cps) {
    if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT) == 0) width += face->glyph->advance.x / 64.0;
  }
  if (!cps.empty()) width += style.tracking * double(cps.size() - 1);
  return width;
}

Mask TextMask(const TextStyle &style, const std::string &text, double x, double y, Align align) {
  FT_Face face = style.font->Face();
  double width = TextWidth(style, text);
  double pen = align == Align::Left ? x : align == Align::Centre ? x - width / 2 : x - width;
  int baseline = int(std::lround(y)), size = style.font->PixelSize();
  Mask mask(int(pen) - size, baseline - 2 * size, int(pen + width) + size, baseline + size);
  if (!face) return mask;
  for (uint32_t cp : CodePoints(text)) {
    // The fraction of the pen goes into the outline, so spacing stays even.
    double whole = std::floor(pen);
    FT_Vector delta = {FT_Pos(std::lround((pen - whole) * 64)), 0};
    FT_Set_Transform(face, nullptr, &delta);
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap &bm = g->bitmap;
    int left = int(whole) + g->bitmap_left, top = baseline - g->bitmap_top;
    for (unsigned r = 0; r < bm.rows; r++)
      for (unsigned c = 0; c < bm.width; c++)
        mask.Cover(left + int(c), top + int(r), bm.buffer[r * bm.pitch + c] / 255.0);
    pen += g->advance.x / 64.0 + style.tracking;
  }
  FT_Set_Transform(face, nullptr, nullptr);
  return mask;
}

void Canvas::Text(const TextStyle &style, const std::string &text, double x, double y,
                  Align align) {
  Paint(TextMask(style, text, x, y, align), style.colour);
}

void Canvas::TextCentredAt(const TextStyle &style, const std::string &text, Point centre) {
  FT_Face face = style.font->Face();
  if (!face || FT_Load_Char(face, '0', FT_LOAD_DEFAULT) != 0) return;
  double digitHeight = face->glyph->metrics.horiBearingY / 64.0;
  Text(style, text, centre.x, centre.y + digitHeight / 2, Align::Centre);
}

PngPicture Canvas::ToPicture() const {
  PngPicture picture;
  picture.width = w_;
  picture.height = h_;
  picture.pixels.resize(size_t(w_) * h_ * 4);
  uint8_t *out = picture.pixels.data();
  for (const Rgb &p : px_) {
    *out++ = uint8_t(std::lround(std::clamp(p.r, 0.0, 255.0)));
    *out++ = uint8_t(std::lround(std::clamp(p.g, 0.0, 255.0)));
    *out++ = uint8_t(std::lround(std::clamp(p.b, 0.0, 255.0)));
    *out++ = 255;
  }
  return picture;
}
