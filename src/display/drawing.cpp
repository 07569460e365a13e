// The drawing primitives. Points are written only where their whole pixel
// lies inside the target buffer, so no caller can write outside it.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/works.h"
#include "display/frame_buffer.h"

namespace {
// A colour as the bytes of one pixel of the display.
struct Pixel {
  uint8_t bytes[4];
  uint32_t size;  // 0: a format the primitives do not draw
};

Pixel Encode(uint8_t red, uint8_t green, uint8_t blue, uint32_t pixelSize) {
  switch (pixelSize) {
    case 2:  // 5-6-5, low byte first
      return {{uint8_t((((green >> 2) & 7) << 5) | (blue >> 3)),
               uint8_t((red & 0xF8) | (green >> 5)), 0, 0},
              2};
    case 4:
      return {{blue, green, red, 0}, 4};
    default:
      return {{0, 0, 0, 0}, 0};
  }
}

uint8_t *Target(FrameBuffer *fb, int toBack) { return toBack ? fb->back : fb->work; }

int64_t OffsetOf(const FrameBuffer *fb, int64_t x, int64_t y) {
  return y * int64_t(fb->lineSize) + x * int64_t(fb->pixelSize);
}

void PutPixel(FrameBuffer *fb, uint8_t *buffer, int64_t offset, const Pixel &p) {
  if (p.size == 0 || offset < 0 || offset + p.size > fb->memSize) return;
  if (p.size == 4)
    memcpy(buffer + offset, p.bytes, 4);  // a constant size: one store
  else
    memcpy(buffer + offset, p.bytes, p.size);
}

// `count` pixels from (x, y) rightwards, continuing on the next row past the
// edge. The pixels of the run that lie inside the buffer are one stretch.
void PutRun(FrameBuffer *fb, uint8_t *buffer, int64_t x, int64_t y, int64_t count, const Pixel &p) {
  if (p.size == 0 || count <= 0) return;
  int64_t offset = OffsetOf(fb, x, y), size = p.size;
  int64_t first = offset < 0 ? (size - 1 - offset) / size : 0;
  int64_t end = std::min(count, (int64_t(fb->memSize) - offset) / size);
  if (first >= end) return;
  uint8_t *at = buffer + offset + first * size;
  if (size == 4) {
    uint32_t value;
    memcpy(&value, p.bytes, 4);
    for (int64_t i = first; i < end; i++, at += 4) memcpy(at, &value, 4);
    return;
  }
  for (int64_t i = first; i < end; i++, at += size) memcpy(at, p.bytes, size);
}
}  // namespace

void DrawHorizontalLine(int x0, int y, int x1, uint8_t red, uint8_t green, uint8_t blue,
                        FrameBuffer *fb, int toBack) {
  if (x1 <= x0) return;
  PutRun(fb, Target(fb, toBack), x0, y, int64_t(x1) - x0, Encode(red, green, blue, fb->pixelSize));
}

void DrawLine(int x0, int y0, int x1, int y1, uint8_t red, uint8_t green, uint8_t blue,
              FrameBuffer *fb, int toBack) {
  if (x0 == x1 && y0 == y1) return;
  Pixel p = Encode(red, green, blue, fb->pixelSize);
  uint8_t *buffer = Target(fb, toBack);
  int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  int64_t sx = dx > 0 ? 1 : -1, sy = dy > 0 ? 1 : -1;
  dx = std::llabs(dx);
  dy = std::llabs(dy);
  // Major and minor coordinate: x leads unless the line is steeper than 45°.
  int64_t major = x0, minor = y0, stepMajor = sx, stepMinor = sy, dMajor = dx, dMinor = dy;
  bool xLeads = dy <= dx;
  if (!xLeads) {
    std::swap(major, minor);
    std::swap(stepMajor, stepMinor);
    std::swap(dMajor, dMinor);
  }
  int64_t err = 2 * dMinor - dMajor;
  for (int64_t i = 0; i <= dMajor; i++) {
    int64_t x = xLeads ? major : minor, y = xLeads ? minor : major;
    PutPixel(fb, buffer, OffsetOf(fb, x, y), p);
    while (err >= 0) {
      minor += stepMinor;
      err -= 2 * dMajor;
    }
    major += stepMajor;
    err += 2 * dMinor;
  }
}

void DrawRect(Works *works, int x0, int y0, int x1, int y1, uint8_t red, uint8_t green,
              uint8_t blue) {
  FrameBuffer *fb = works->display.fb;
  DrawLine(x0, y0, x0, y1, red, green, blue, fb, 0);
  DrawLine(x1, y0, x1, y1, red, green, blue, fb, 0);
  DrawHorizontalLine(x0, y0, x1, red, green, blue, fb, 0);
  DrawHorizontalLine(x0, y1, x1, red, green, blue, fb, 0);
}

void DrawArc(int cx, int cy, int radius, int fromDegree, int toDegree, uint8_t red, uint8_t green,
             uint8_t blue, FrameBuffer *fb, int toBack) {
  auto pointAt = [&](int degree) {
    double a = degree * M_PI / 180;
    return std::pair<int, int>{int(cx + 0.5 + radius * cos(a)), int(cy + 0.5 - radius * sin(a))};
  };
  // The first point is joined to itself, which draws nothing.
  auto [px, py] = pointAt(fromDegree);
  for (int d = fromDegree; d <= toDegree; d++) {
    auto [x, y] = pointAt(d);
    DrawLine(px, py, x, y, red, green, blue, fb, toBack);
    px = x;
    py = y;
  }
}

void FillBox(int x0, int y0, int x1, int y1, uint8_t red, uint8_t green, uint8_t blue,
             FrameBuffer *fb, int toBack) {
  Pixel p = Encode(red, green, blue, fb->pixelSize);
  uint8_t *buffer = Target(fb, toBack);
  auto [left, right] = std::minmax(x0, x1);
  auto [top, bottom] = std::minmax(y0, y1);
  for (int y = top; y < bottom; y++) PutRun(fb, buffer, left, y, int64_t(right) - left, p);
}
