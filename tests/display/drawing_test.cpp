#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "display/frame_buffer.h"
#include "tests/display/display_support.h"

namespace {
using Points = std::vector<std::pair<int, int>>;

Points Sorted(Points p) {
  std::sort(p.begin(), p.end());
  return p;
}
}  // namespace

TEST(DrawLineTest, PlotsTheBresenhamPointsBothEndsIncluded) {
  GuardedFrameBuffer g(16, 8, 4);
  DrawLine(0, 0, 5, 2, 255, 255, 255, &g.fb, 0);
  EXPECT_EQ(Sorted(g.Changed()), (Points{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}));

  // The same line drawn backwards and a steep one (y leads).
  GuardedFrameBuffer back(16, 8, 4), steep(16, 8, 4);
  DrawLine(5, 2, 0, 0, 255, 255, 255, &back.fb, 0);
  EXPECT_EQ(back.Changed().size(), 6u);
  DrawLine(1, 0, 3, 5, 255, 255, 255, &steep.fb, 0);
  Points s = Sorted(steep.Changed());
  ASSERT_EQ(s.size(), 6u);
  for (int y = 0; y <= 5; y++) EXPECT_EQ(s[y].second, y);  // one point per row
  EXPECT_EQ(s.front(), (std::pair<int, int>{1, 0}));
  EXPECT_EQ(s.back(), (std::pair<int, int>{3, 5}));
}

TEST(DrawLineTest, EqualEndPointsDrawNothing) {
  GuardedFrameBuffer g(8, 8, 4);
  DrawLine(3, 3, 3, 3, 255, 255, 255, &g.fb, 0);
  EXPECT_TRUE(g.Changed().empty());
}

TEST(DrawLineTest, ClipsByOffsetWrappingPastTheEdgeAndStoppingAtTheEnd) {
  GuardedFrameBuffer g(10, 4, 4);
  DrawLine(8, 0, 11, 0, 255, 255, 255, &g.fb, 0);  // x 10 and 11 land on row 1
  EXPECT_EQ(Sorted(g.Changed()), (Points{{0, 1}, {1, 1}, {8, 0}, {9, 0}}));

  GuardedFrameBuffer end(10, 4, 4);
  DrawLine(5, 2, 40, 6, 255, 255, 255, &end.fb, 0);    // runs far past the last pixel
  DrawLine(-30, -3, 3, 0, 255, 255, 255, &end.fb, 0);  // starts before the first
  EXPECT_TRUE(end.GuardsIntact());
  EXPECT_FALSE(end.Changed().empty());
  GuardedFrameBuffer wide(10, 4, 2);
  DrawLine(0, 3, 12, 3, 255, 255, 255, &wide.fb, 0);
  EXPECT_TRUE(wide.GuardsIntact());
  EXPECT_EQ(wide.Changed().size(), 10u);  // the row, nothing beyond it
}

TEST(DrawHorizontalLineTest, CoversFromX0UpToButNotX1) {
  GuardedFrameBuffer g(20, 2, 4);
  DrawHorizontalLine(3, 1, 8, 255, 255, 255, &g.fb, 0);
  EXPECT_EQ(Sorted(g.Changed()), (Points{{3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}}));
  GuardedFrameBuffer none(20, 2, 4);
  DrawHorizontalLine(10, 0, 10, 255, 255, 255, &none.fb, 0);
  DrawHorizontalLine(12, 0, 4, 255, 255, 255, &none.fb, 0);
  EXPECT_TRUE(none.Changed().empty());
  GuardedFrameBuffer end(20, 2, 4);
  DrawHorizontalLine(15, 1, 90, 255, 255, 255, &end.fb, 0);
  EXPECT_TRUE(end.GuardsIntact());
}

TEST(PixelFormatTest, SixteenAndThirtyTwoBitEncodings) {
  struct Case {
    uint8_t r, g, b, byte0, byte1;
  };
  for (Case c : {Case{255, 0, 0, 0x00, 0xF8}, Case{0, 0, 255, 0x1F, 0x00},
                 Case{255, 255, 255, 0xFF, 0xFF}, Case{0, 255, 0, 0xE0, 0x07}}) {
    GuardedFrameBuffer g(4, 1, 2);
    DrawHorizontalLine(0, 0, 1, c.r, c.g, c.b, &g.fb, 0);
    EXPECT_EQ(g.fb.work[0], c.byte0) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    EXPECT_EQ(g.fb.work[1], c.byte1) << int(c.r) << "," << int(c.g) << "," << int(c.b);
  }
  GuardedFrameBuffer g(4, 1, 4, 0x77);
  DrawHorizontalLine(1, 0, 2, 10, 20, 30, &g.fb, 0);
  const uint8_t expected[] = {30, 20, 10, 0};
  EXPECT_EQ(memcmp(g.fb.work + 4, expected, 4), 0);
  // Formats of 1 and 3 bytes are not drawn at all.
  for (uint32_t size : {1u, 3u}) {
    GuardedFrameBuffer odd(6, 2, size);
    DrawLine(0, 0, 5, 1, 255, 255, 255, &odd.fb, 0);
    FillBox(0, 0, 6, 2, 255, 255, 255, &odd.fb, 0);
    EXPECT_TRUE(odd.Changed().empty()) << size;
  }
}

TEST(FillBoxTest, FillsTheHalfOpenBoxWhicheverCornerComesFirst) {
  GuardedFrameBuffer g(10, 10, 4);
  FillBox(6, 5, 2, 3, 255, 255, 255, &g.fb, 0);
  Points p = Sorted(g.Changed());
  EXPECT_EQ(p.size(), 8u);  // x 2..5, y 3..4
  EXPECT_EQ(p.front(), (std::pair<int, int>{2, 3}));
  EXPECT_EQ(p.back(), (std::pair<int, int>{5, 4}));
}

TEST_F(MemoryDisplayTest, DrawRectOutlinesTheBoxInTheWorkBufferOnly) {
  memset(fb->work, 0, fb->memSize);
  memset(fb->back, 0, fb->memSize);
  DrawRect(works.works, 10, 20, 15, 23, 200, 200, 200);
  auto lit = [&](int x, int y) { return At(fb->work, x, y)[0] == 200; };
  for (int y = 20; y <= 23; y++) EXPECT_TRUE(lit(10, y) && lit(15, y)) << y;
  for (int x = 10; x <= 15; x++) EXPECT_TRUE(lit(x, 20) && lit(x, 23)) << x;
  EXPECT_FALSE(lit(12, 21));
  EXPECT_FALSE(lit(16, 20));
  EXPECT_TRUE(std::all_of(fb->back, fb->back + fb->memSize, [](uint8_t b) { return b == 0; }));
}

TEST_F(MemoryDisplayTest, DrawArcJoinsTheDegreePointsIntoTheBackBuffer) {
  memset(fb->back, 0, fb->memSize);
  DrawArc(100, 100, 20, 0, 90, 255, 255, 255, fb.get(), 1);
  EXPECT_EQ(At(fb->back, 120, 100)[0], 255);  // 0°: right of the centre
  EXPECT_EQ(At(fb->back, 100, 80)[0], 255);   // 90°: above it (y grows downwards)
  EXPECT_EQ(At(fb->back, 100, 120)[0], 0);    // below: not part of 0..90°
  GuardedFrameBuffer single(200, 200, 4);
  DrawArc(100, 100, 20, 30, 30, 255, 255, 255, &single.fb, 0);
  EXPECT_TRUE(single.Changed().empty());  // the first point joined to itself
}

TEST_F(MemoryDisplayTest, SetBackThenRealizeShowsTheBackgroundUnchanged) {
  for (uint32_t i = 0; i < fb->memSize; i++) fb->back[i] = uint8_t(i * 7);
  memset(fb->screen, 0, fb->memSize);
  fbSetBack(fb.get());
  fbRealize(fb.get());
  EXPECT_EQ(memcmp(fb->screen, fb->back, fb->memSize), 0);
}
