#pragma once
// Displays for the display tests: the memory screen behind fbInit, and a
// hand-made record whose buffers are fenced by guard bytes.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/works.h"
#include "display/frame_buffer.h"
#include "platform/display_device.h"
#include "tests/support/sandbox.h"

// fbInit over a memory screen, in a sandbox with the fonts and pictures.
struct MemoryDisplayTest : ::testing::Test {
  void SetUp() override {
    UseMemoryDisplay();
    fb = fbInit();
    ASSERT_TRUE(fb);
    works->display.fb = fb.get();
  }
  void TearDown() override { UseDeviceDisplay(); }

  // Bytes of pixel (x, y) of a buffer of the display.
  const uint8_t *At(const uint8_t *buffer, int x, int y) const {
    return buffer + size_t(y) * fb->lineSize + size_t(x) * fb->pixelSize;
  }

  TestSandbox box;
  TestWorks works;
  std::unique_ptr<FrameBuffer> fb;
};

// A record of `width` × `height` pixels of `pixelSize` bytes with guard bytes
// before and after its work buffer, to prove that nothing is written outside.
class GuardedFrameBuffer {
 public:
  static constexpr size_t GUARD = 64;
  static constexpr uint8_t FENCE = 0xA5;

  GuardedFrameBuffer(int width, int height, uint32_t pixelSize, uint8_t fill = 0)
      : store_(GUARD + size_t(width) * height * pixelSize + GUARD, FENCE) {
    fb.width = width;
    fb.height = height;
    fb.pixelSize = pixelSize;
    fb.lineSize = uint32_t(width) * pixelSize;
    fb.memSize = fb.lineSize * uint32_t(height);
    fb.work = store_.data() + GUARD;
    fb.back = fb.work;
    fb.screen = fb.work;
    std::fill(fb.work, fb.work + fb.memSize, fill);
  }

  bool GuardsIntact() const {
    for (size_t i = 0; i < GUARD; i++)
      if (store_[i] != FENCE || store_[GUARD + fb.memSize + i] != FENCE) return false;
    return true;
  }

  // Pixels (as offsets / pixelSize) whose bytes differ from `fill`.
  std::vector<std::pair<int, int>> Changed(uint8_t fill = 0) const {
    std::vector<std::pair<int, int>> points;
    for (uint32_t p = 0; p < fb.memSize / fb.pixelSize; p++) {
      for (uint32_t k = 0; k < fb.pixelSize; k++) {
        if (fb.work[p * fb.pixelSize + k] != fill) {
          points.push_back({int(p % fb.width), int(p / fb.width)});
          break;
        }
      }
    }
    return points;
  }

  FrameBuffer fb;

 private:
  std::vector<uint8_t> store_;
};
