#include "display/image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/log.h"
#include "display/png_write.h"
#include "display/screen.h"
#include "display/text.h"
#include "tests/display/display_support.h"

namespace {
struct ImageTest : MemoryDisplayTest {
  // Writes <pictures>/<name>.png; pixel (x, y) of an RGBA picture gets
  // (x, y, x + y, 7) so that every pixel differs from its neighbours.
  void WritePicture(const std::string &name, int width, int height, int colourType = 6,
                    int bitDepth = 8) {
    PngPicture p;
    p.width = width;
    p.height = height;
    p.colourType = colourType;
    p.bitDepth = bitDepth;
    p.pixels.resize(PngRowBytes(p) * height);
    for (size_t i = 0; i < p.pixels.size(); i++) {
      size_t channels = PngRowBytes(p) / width;
      size_t x = (i % PngRowBytes(p)) / channels, y = i / PngRowBytes(p), c = i % channels;
      p.pixels[i] = uint8_t(c == 0 ? x : c == 1 ? y : c == 2 ? x + y : 7);
    }
    std::string error;
    ASSERT_TRUE(WritePng(File(name), p, error)) << error;
  }
  std::string File(const std::string &name) const {
    return box.P().picturesDir + "/" + name + ".png";
  }
  void Load(const char *name, int toBack = 1) {
    snprintf(works->display.imageName, sizeof works->display.imageName, "%s", name);
    getPng(works.works, toBack);
  }
  void Fill(uint8_t *buffer, uint8_t value) { memset(buffer, value, fb->memSize); }
  bool Untouched(const uint8_t *buffer, uint8_t value) const {
    return std::all_of(buffer, buffer + fb->memSize, [value](uint8_t b) { return b == value; });
  }
  LogCapture log;
};
}  // namespace

TEST_F(ImageTest, FullSizeRgbaIsCopiedExactlyWithoutItsAlpha) {
  WritePicture("full", 800, 480);
  Fill(fb->back, 0x55);
  log.Clear();
  Load("full");
  EXPECT_TRUE(log.Sys().empty());
  for (auto [x, y] : {std::pair{0, 0}, {799, 0}, {123, 45}, {799, 479}}) {
    const uint8_t *p = At(fb->back, x, y);
    EXPECT_EQ(p[0], uint8_t(x + y)) << x << "," << y;  // blue
    EXPECT_EQ(p[1], uint8_t(y));
    EXPECT_EQ(p[2], uint8_t(x));  // red
    EXPECT_EQ(p[3], 0);           // alpha 7 dropped
  }
}

TEST_F(ImageTest, SmallerImageCoversTheTopLeftAndLeavesTheRest) {
  WritePicture("small", 10, 5);
  Fill(fb->back, 0x55);
  Load("small");
  EXPECT_EQ(At(fb->back, 9, 4)[2], 9);
  EXPECT_EQ(At(fb->back, 10, 4)[0], 0x55);
  EXPECT_EQ(At(fb->back, 0, 5)[0], 0x55);
}

TEST_F(ImageTest, WithoutBackTheWorkBufferIsLoadedAndShown) {
  WritePicture("shown", 20, 20);
  Fill(fb->back, 0x55);
  Load("shown", 0);
  EXPECT_TRUE(Untouched(fb->back, 0x55));
  EXPECT_EQ(At(fb->work, 19, 3)[2], 19);
  EXPECT_EQ(memcmp(fb->screen, fb->work, fb->memSize), 0);
}

TEST_F(ImageTest, RefusalsAreLoggedWithTheFileNameAndKeepTheBackground) {
  WritePicture("grey", 100, 100, 0);
  WritePicture("rgb", 100, 100, 2);
  WritePicture("deep", 100, 100, 6, 16);
  WritePicture("wide", 801, 10);
  WritePicture("tall", 10, 481);
  box.Write(File("text"), "not a picture");
  WritePicture("cut", 200, 200);
  box.Write(File("cut"), box.Read(File("cut")).substr(0, 120));  // the header, part of the data
  Fill(fb->back, 0x55);
  struct Case {
    const char *name;
    std::string message;
  };
  const Case cases[] = {
      {"missing", File("missing") + " image could not be opened"},
      {"text", File("text") + " image is not a PNG file"},
      {"grey", File("grey") + " image has 8 pixels not 4 or color_type is 0 not 6"},
      {"rgb", File("rgb") + " image has 8 pixels not 4 or color_type is 2 not 6"},
      {"deep", File("deep") + " image has 16 pixels not 4 or color_type is 6 not 6"},
      {"wide", File("wide") + " image has 801 cols not 800"},
      {"tall", File("tall") + " image has 481 rows not 480"},
      {"cut", File("cut") + " error during reading image"},
  };
  for (const Case &c : cases) {
    log.Clear();
    Load(c.name);
    EXPECT_TRUE(log.SysHas(c.message, LOG_PRIO_ERR)) << c.name;
    EXPECT_EQ(log.Sys().size(), 1u) << c.name;
  }
  EXPECT_TRUE(Untouched(fb->back, 0x55));
}

TEST_F(ImageTest, SixteenBitDisplayRefusesEveryPicture) {
  UseMemoryDisplay({800, 480, 16});
  fb = fbInit();
  works->display.fb = fb.get();
  WritePicture("ok", 8, 8);
  Load("ok");
  EXPECT_TRUE(
      log.SysHas(File("ok") + " image has 8 pixels not 2 or color_type is 6 not 6", LOG_PRIO_ERR));
}

TEST_F(ImageTest, EveryNamedBackgroundLoadsFromTheInstallation) {
  for (const char *name :
       {"start", "start120", "statusB", "status", "img1", "img1b", "img3", "img3b", "m5a"}) {
    log.Clear();
    Fill(fb->back, 0x55);
    Load(name);
    EXPECT_TRUE(log.Sys().empty()) << name;
    EXPECT_FALSE(Untouched(fb->back, 0x55)) << name;
    EXPECT_EQ(At(fb->back, 799, 479)[3], 0) << name;  // the whole screen was covered
  }
}

TEST_F(ImageTest, SnapshotOfTheScreenReadsBackAsTheSamePicture) {
  ShowBackground(works.works, "img3");
  ShowText(works.works, 8, 155, 160, "FORWARD", 0, 0, 0);
  std::string error;
  ASSERT_TRUE(SaveScreenPng(works.works, File("snap"), error)) << error;
  std::vector<uint8_t> shown(fb->screen, fb->screen + fb->memSize);
  Fill(fb->back, 0x55);
  Load("snap");
  EXPECT_EQ(memcmp(fb->back, shown.data(), fb->memSize), 0);
}

TEST_F(ImageTest, PortFailureLineIsDrawnOnlyWhileAFailureIsPending) {
  LoadFontSlots();
  Fill(fb->work, 0);
  DrawLinkError(works.works);
  EXPECT_TRUE(Untouched(fb->work, 0));
  SetLinkError(works.works, "/dev/ttyAMA0");
  DrawLinkError(works.works);
  EXPECT_FALSE(Untouched(fb->work, 0));
  // "Error! " and the message, in (250, 250, 250) from x 100 on the row 400.
  int lit = 0;
  for (int x = 100; x < 400; x++)
    if (At(fb->work, x, 395)[0] == 250 && At(fb->work, x, 395)[2] == 250) lit++;
  EXPECT_GT(lit, 5);
  EXPECT_EQ(At(fb->work, 99, 395)[0], 0);
}
