#include "display/frame_buffer.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "platform/display_device.h"
#include "tests/support/sandbox.h"

namespace {
struct FbInitTest : ::testing::Test {
  void TearDown() override { UseDeviceDisplay(); }
  TestSandbox box;
  LogCapture log;
};
}  // namespace

TEST_F(FbInitTest, MemoryScreenGivesTheRecordOfAThirtyTwoBitDisplay) {
  UseMemoryDisplay();
  auto fb = fbInit();
  ASSERT_TRUE(fb);
  EXPECT_EQ(fb->width, 800);
  EXPECT_EQ(fb->height, 480);
  EXPECT_EQ(fb->pixelSize, 4u);
  EXPECT_EQ(fb->lineSize, 3200u);
  EXPECT_EQ(fb->memSize, 800u * 480 * 4);
  EXPECT_TRUE(fb->screen && fb->work && fb->back);
  EXPECT_NE(fb->work, fb->back);
  EXPECT_TRUE(log.SysHas("Pixel size =4", LOG_PRIO_INFO));
  EXPECT_TRUE(
      log.SysHas("Screen Size x: 800, y: 480, Pixel Size 4 Line size: 3200, Mem size: 1536000\n",
                 LOG_PRIO_INFO));
}

TEST_F(FbInitTest, PixelSizeFollowsTheBitsPerPixel) {
  struct Case {
    uint32_t bits, pixelSize, memSize;
  };
  for (Case c : {Case{16, 2, 320 * 240 * 2}, Case{15, 2, 320 * 240 * 15 / 8},
                 Case{24, 3, 320 * 240 * 3}, Case{8, 1, 320 * 240}}) {
    UseMemoryDisplay({320, 240, c.bits});
    auto fb = fbInit();
    ASSERT_TRUE(fb) << c.bits;
    EXPECT_EQ(fb->pixelSize, c.pixelSize) << c.bits;
    EXPECT_EQ(fb->lineSize, 320 * c.pixelSize) << c.bits;
    EXPECT_EQ(fb->memSize, c.memSize) << c.bits;
  }
}

TEST_F(FbInitTest, EighteenBitsPerPixelIsAnUnknownFormat) {
  UseMemoryDisplay({800, 480, 18});
  EXPECT_FALSE(fbInit());
  EXPECT_TRUE(log.SysHas("Unknown pixel format", LOG_PRIO_ERR));
}

TEST_F(FbInitTest, DeviceFailuresAreLoggedAndGiveNoRecord) {
  UseDeviceDisplay();
  EXPECT_FALSE(fbInit());  // the sandbox has no frame-buffer device
  EXPECT_TRUE(
      log.SysHas("Unable to read framebuffer device: " + box.P().frameBuffer + "\n", LOG_PRIO_ERR));

  box.Write(box.P().frameBuffer, "not a frame buffer");  // opens, but answers no ioctl
  EXPECT_FALSE(fbInit());
  EXPECT_TRUE(log.SysHas("Unable to read screen info.\n", LOG_PRIO_ERR));
  EXPECT_TRUE(log.SysHas("Do you have read+write privilages to /dev/fb0?\n", LOG_PRIO_ERR));
}

TEST_F(FbInitTest, HidesTheConsoleCursorFirst) {
  UseMemoryDisplay();
  ASSERT_TRUE(fbInit());
  EXPECT_EQ(box.Read(box.P().console), "\x1b[?25l");
}
