#include "display/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "tests/display/display_support.h"

namespace {
struct Char {
  int valid;
  uint32_t codePoint;
  int advance;
};

std::vector<Char> Decode(const std::string &bytes) {
  std::vector<Char> out;
  int position = 0, valid = -1;
  uint32_t cp = 1234;
  const uint8_t *text = reinterpret_cast<const uint8_t *>(bytes.data());
  for (int before = 0; utf8_get_next_char(text, int(bytes.size()), &position, &valid, &cp) == 1;
       before = position)
    out.push_back({valid, cp, position - before});
  return out;
}

bool operator==(const Char &a, const Char &b) {
  return a.valid == b.valid && a.codePoint == b.codePoint && a.advance == b.advance;
}
void PrintTo(const Char &c, std::ostream *os) {
  *os << "{" << c.valid << ", U+" << std::hex << c.codePoint << std::dec << ", " << c.advance
      << "}";
}

struct TextTest : MemoryDisplayTest {
  void SetUp() override {
    MemoryDisplayTest::SetUp();
    LoadFontSlots();
  }
  void Clear(uint8_t value) { memset(fb->work, value, fb->memSize); }
  // Bounding box of the pixels whose first byte differs from `background`.
  struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  };
  Box Ink(uint8_t background) const {
    Box b;
    for (int y = 0; y < fb->height; y++)
      for (int x = 0; x < fb->width; x++)
        if (At(fb->work, x, y)[0] != background) {
          b.left = std::min(b.left, x), b.right = std::max(b.right, x);
          b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
        }
    return b;
  }
};
}  // namespace

TEST(Utf8Test, StrictDecodingSkipsIllFormedSequencesByTheirValidPrefix) {
  using V = std::vector<Char>;
  EXPECT_EQ(Decode("A\x7f"), (V{{1, 'A', 1}, {1, 0x7F, 1}}));
  EXPECT_EQ(Decode("\xC3\x28"), (V{{0, 0, 1}, {1, '(', 1}}));
  EXPECT_EQ(Decode("\xC3\xA9"), (V{{1, 0xE9, 2}}));
  EXPECT_EQ(Decode("\xE2\x82\xAC"), (V{{1, 0x20AC, 3}}));
  EXPECT_EQ(Decode("\xE2\x82"), (V{{0, 0, 2}}));  // cut at the end of the text
  EXPECT_EQ(Decode("\xED\xA0\x80"), (V{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}));  // a surrogate
  EXPECT_EQ(Decode("\xE0\x80\x80"), (V{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}));  // overlong
  EXPECT_EQ(Decode("\xC0\xAF"), (V{{0, 0, 1}, {0, 0, 1}}));
  EXPECT_EQ(Decode("\xF0\x9F\x98\x80"), (V{{1, 0x1F600, 4}}));
  EXPECT_EQ(Decode("\xF0\x9F\x98"), (V{{0, 0, 3}}));
  EXPECT_EQ(Decode("\xF0\x9F\x28"), (V{{0, 0, 2}, {1, '(', 1}}));
  EXPECT_EQ(Decode("\xF4\x90\x80\x80"), (V{{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}));
  EXPECT_EQ(Decode("\xF5\x80"), (V{{0, 0, 1}, {0, 0, 1}}));
  EXPECT_EQ(Decode(""), V{});
  int position = 5, valid = 0;
  uint32_t cp = 0;
  EXPECT_EQ(utf8_get_next_char(reinterpret_cast<const uint8_t *>("abc"), 3, &position, &valid, &cp),
            -1);
}

TEST_F(TextTest, LetterSitsOnTheBaselineFromThePen) {
  Clear(0);
  putString(0, 100, 200, "A", 255, 255, 255, fb.get());
  Box ink = Ink(0);
  EXPECT_EQ(ink.bottom, 200);
  EXPECT_EQ(ink.left, 100);
  EXPECT_LT(ink.top, 200 - 10);
  // A descender reaches below the baseline.
  Clear(0);
  putString(0, 100, 200, "g", 255, 255, 255, fb.get());
  EXPECT_GT(Ink(0).bottom, 200);
}

TEST_F(TextTest, BlendsEachChannelWithTheCoverageByAndNotByProduct) {
  // White on black leaves the coverage itself in every channel.
  Clear(0);
  putString(8, 40, 60, "Kestra", 255, 255, 255, fb.get());
  std::vector<uint8_t> coverage(fb->memSize);
  memcpy(coverage.data(), fb->work, fb->memSize);
  const uint8_t old = 90;
  Clear(old);
  putString(8, 40, 60, "Kestra", 200, 100, 50, fb.get());
  const uint8_t colour[3] = {50, 100, 200};  // blue, green, red bytes
  int partial = 0;
  for (uint32_t p = 0; p < fb->memSize; p += 4) {
    uint8_t a = coverage[p];
    if (a > 0 && a < 255) partial++;
    for (int k = 0; k < 3; k++)
      ASSERT_EQ(fb->work[p + k], uint8_t((255 - a) * old / 255 + (colour[k] & a)))
          << p << " a=" << int(a);
    if (a > 0) {
      ASSERT_EQ(fb->work[p + 3], 0);
    }
  }
  EXPECT_GT(partial, 20);  // anti-aliased edges were exercised
}

TEST_F(TextTest, WidthIsTheSumOfAdvancesAndAnEmptyTextDrawsNothing) {
  int a = getStringSpace(8, "Band:"), b = getStringSpace(8, "20m");
  EXPECT_GT(a, 0);
  EXPECT_NEAR(getStringSpace(8, "Band:20m"), a + b, 1);
  EXPECT_EQ(getStringSpace(8, ""), 0);
  Clear(3);
  putString(8, 10, 30, "", 255, 255, 255, fb.get());
  EXPECT_EQ(Ink(3).right, -1);
}

TEST_F(TextTest, EmptyOrUnknownSlotIsSkipped) {
  Clear(0);
  for (int s : {3, 12, -1, 20}) {
    putString(s, 100, 100, "text", 255, 255, 255, fb.get());
    EXPECT_EQ(getStringSpace(s, "text"), 0) << s;
  }
  EXPECT_EQ(Ink(0).right, -1);
}

TEST(TextClipTest, GlyphsPastTheBufferEndAreCutWithoutWritingOutside) {
  TestSandbox box;
  LoadFontSlots();
  GuardedFrameBuffer g(60, 20, 4);
  putString(9, 30, 28, "WWW", 255, 255, 255, &g.fb);  // baseline below the last row
  putString(9, -10, 5, "Mg", 255, 255, 255, &g.fb);   // before the first byte
  EXPECT_TRUE(g.GuardsIntact());
  EXPECT_FALSE(g.Changed().empty());
}

TEST(TtfLoadTest, FailuresAreLoggedAndLeaveTheSlotEmpty) {
  TestSandbox box;
  LogCapture log;
  TTFLoad((box.Root() + "/missing.ttf").c_str(), 20, 15);
  EXPECT_TRUE(log.SysHas("FreeType: file error", LOG_PRIO_ERR));
  box.Write(box.Root() + "/bad.ttf", "this is no font at all");
  TTFLoad((box.Root() + "/bad.ttf").c_str(), 20, 15);
  EXPECT_TRUE(log.SysHas("FreeType: file format not supported", LOG_PRIO_ERR));
  EXPECT_EQ(face[15], nullptr);
  EXPECT_EQ(getStringSpace(15, "x"), 0);

  std::string good = box.P().systemFontsDir + "/DejaVuSans.ttf";
  TTFLoad(good.c_str(), 20, 15);
  EXPECT_TRUE(log.SysHas("Loading face: filename=" + good, LOG_PRIO_INFO));
  EXPECT_TRUE(log.SysHas("Face loaded", LOG_PRIO_INFO));
  EXPECT_TRUE(log.SysHas("Pixel size sat", LOG_PRIO_INFO));
  EXPECT_EQ(fontSize[15], 20);
  EXPECT_GT(getStringSpace(15, "x"), 0);
  TTFLoad((box.Root() + "/missing.ttf").c_str(), 20, 15);  // a failed reload empties the slot
  EXPECT_EQ(getStringSpace(15, "x"), 0);
}

TEST_F(TextTest, CachedGlyphsDrawTheSamePixelsAsFreshlyRenderedOnes) {
  // Texts of the screens in every slot, at even and odd places, partly past
  // the edges, over a background that makes every blend visible.
  const char *texts[] = {"PA1:27.7°C  14.074MHz", "Ag|∞ ±@#", "\xC3\x28 bad \xE2\x82"};
  const int places[][2] = {{3, 40}, {401, 215}, {-7, 9}, {770, 300}, {11, 479}};
  auto draw = [&](bool cached, std::vector<uint8_t> &out) {
    SetGlyphCache(cached);
    for (uint32_t p = 0; p < fb->memSize; p++) fb->work[p] = uint8_t(p * 7 + p / 3200);
    for (int pass = 0; pass < 2; pass++)  // the second pass draws from the cache
      for (int s = 0; s < FONT_SLOTS; s++)
        for (const auto &at : places)
          for (const char *t : texts)
            putString(s, at[0] + 9 * s, at[1] + 3 * s, t, uint8_t(40 * s), 200, uint8_t(255 - s),
                      fb.get());
    out.assign(fb->work, fb->work + fb->memSize);
  };
  std::vector<uint8_t> fresh, cached;
  draw(false, fresh);
  draw(true, cached);
  EXPECT_TRUE(fresh == cached);
  // A slot loaded again with another size does not draw its old glyphs.
  int small = getStringSpace(8, "Kestra");
  TTFLoad((box.P().systemFontsDir + "/DejaVuSans.ttf").c_str(), 40, 8);
  EXPECT_GT(getStringSpace(8, "Kestra"), small * 3 / 2);
  LoadFontSlots();
}
