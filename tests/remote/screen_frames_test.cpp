// Screen images from the peer: put together from their chunks in a buffer of
// their own, shown, and kept as the background; images that do not fit the
// screen are refused before anything large is allocated.
#include "remote/screen_frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "core/log.h"
#include "remote/ws_frame.h"
#include "settings/setup_record.h"
#include "tests/display/display_support.h"
#include "tests/remote/remote_harness.h"

namespace {
struct PeerScreen : MemoryDisplayTest {
  // Hands the image to the unit as the peer's chunks.
  void Receive(const std::vector<uint8_t> &image) {
    for (const auto &chunk : ScreenChunks(image))
      TakeScreenChunk(works.works, assembly, chunk.data() + 6, chunk.size() - 6);
  }
  void Chunk(uint32_t total, uint32_t offset, size_t len = 520) {
    std::vector<uint8_t> payload(len, 0x77);
    if (len >= 8) PutBE32(payload.data(), total), PutBE32(payload.data() + 4, offset);
    TakeScreenChunk(works.works, assembly, payload.data(), len);
  }
  std::vector<uint8_t> Pattern(uint8_t seed) const {
    std::vector<uint8_t> image(fb->memSize);
    for (size_t i = 0; i < image.size(); i++) image[i] = uint8_t(i * 13 + seed + i / 3200);
    return image;
  }
  // Four flat quadrants, 4 bytes per pixel in the screen's own order.
  std::vector<uint8_t> Quadrants() const {
    std::vector<uint8_t> image(fb->memSize);
    const uint8_t colours[4][3] = {{200, 30, 30}, {30, 200, 30}, {30, 30, 200}, {220, 220, 40}};
    for (int y = 0; y < fb->height; y++)
      for (int x = 0; x < fb->width; x++) {
        const uint8_t *c = colours[(y >= fb->height / 2) * 2 + (x >= fb->width / 2)];
        uint8_t *p = image.data() + (size_t(y) * fb->width + x) * 4;
        p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 0;
      }
    return image;
  }
  bool Shows(const std::vector<uint8_t> &image) const {
    return memcmp(fb->back, image.data(), fb->memSize) == 0 &&
           memcmp(fb->screen, image.data(), fb->memSize) == 0;
  }
  ScreenAssembly assembly;
  LogCapture log;
};
}  // namespace

TEST_F(PeerScreen, ARawImageBecomesBackgroundAndScreen) {
  std::vector<uint8_t> image = Pattern(1);
  Receive(image);
  EXPECT_TRUE(Shows(image));
  // Another image interleaved with a stray chunk of a third is still whole.
  std::vector<uint8_t> second = Pattern(2);
  auto chunks = ScreenChunks(second);
  for (size_t i = 0; i < chunks.size(); i++) {
    if (i == 5) Chunk(fb->memSize, 512 * 9);  // out of order: that image is dropped
    TakeScreenChunk(works.works, assembly, chunks[i].data() + 6, 520);
  }
  EXPECT_TRUE(Shows(image)) << "an image with a chunk out of order is not shown";
  EXPECT_TRUE(log.SysHas("screen chunk dropped (order)"));
  Receive(second);
  EXPECT_TRUE(Shows(second));
}

TEST_F(PeerScreen, AJpegOfTheScreensSizeIsShownOthersAreRefusedFromTheirHeader) {
  std::vector<uint8_t> image = Quadrants();
  std::vector<uint8_t> jpeg = JpegOfPixels(image, fb->width, fb->height);
  ASSERT_LT(jpeg.size(), fb->memSize);
  Receive(jpeg);
  for (auto [x, y] : {std::pair{200, 120}, {600, 120}, {200, 360}, {600, 360}}) {
    const uint8_t *shown = At(fb->back, x, y);
    const uint8_t *sent = image.data() + (size_t(y) * fb->width + x) * 4;
    for (int c = 0; c < 3; c++) EXPECT_NEAR(shown[c], sent[c], 12) << x << "," << y;
  }
  std::vector<uint8_t> before(fb->back, fb->back + fb->memSize);

  std::vector<uint8_t> small(400 * 240 * 4, 0x80);
  Receive(JpegOfPixels(small, 400, 240));
  EXPECT_TRUE(log.SysHas("screen image of 400x240 refused"));
  Receive(JpegHeaderOnly(16000, 16000));
  EXPECT_TRUE(log.SysHas("screen image of 16000x16000 refused"));
  std::vector<uint8_t> broken = jpeg;
  broken.resize(broken.size() / 2);
  Receive(broken);
  EXPECT_EQ(memcmp(fb->back, before.data(), fb->memSize), 0);
}

TEST_F(PeerScreen, ChunksBeyondTheScreenOrOfAnotherShapeAreDropped) {
  std::vector<uint8_t> before(fb->back, fb->back + fb->memSize);
  Chunk(fb->memSize + 1, 0);      // bigger than the screen
  Chunk(0x7FFFFFFF, 0x7FFFFFFF);  // far beyond it
  Chunk(1000, 1000);              // the offset past the end
  Chunk(0, 0);                    // nothing to show
  Chunk(fb->memSize, 0, 300);     // a short chunk
  Chunk(fb->memSize, 0, 4);       // no room for the offset
  Chunk(100, 0);                  // a small image: not a JPEG
  EXPECT_EQ(memcmp(fb->back, before.data(), fb->memSize), 0);
  EXPECT_TRUE(log.SysHas("screen chunk dropped (size)"));
  EXPECT_TRUE(log.SysHas("screen chunk dropped (offset)"));
  EXPECT_TRUE(log.SysHas("screen chunk dropped (length)"));
}

TEST_F(PeerScreen, TheScreenGoesOutWholeRawOrAsAJpegThatComesBack) {
  LinkedWorks linked;
  Works *sender = linked.works.works;
  sender->display.fb = fb.get();
  sender->cfg.setup->WebSocket = '1';
  staticworks = sender;
  std::vector<uint8_t> image = Pattern(3);
  memcpy(fb->screen, image.data(), fb->memSize);
  std::thread sending(sendWebSockFbFrame);
  std::vector<uint8_t> got(fb->memSize);
  PeerFrame f;
  for (size_t offset = 0; offset < fb->memSize; offset += 512) {
    if (!linked.peer.Read(f) || f.tag != "FB" || GetBE32(f.payload.data()) != fb->memSize ||
        GetBE32(f.payload.data() + 4) != offset)
      break;
    memcpy(got.data() + offset, f.payload.data() + 8, std::min<size_t>(512, fb->memSize - offset));
  }
  sending.join();
  EXPECT_EQ(got, image);

  // With a quality set, the work image goes as a JPEG that decodes to it.
  std::vector<uint8_t> quadrants = Quadrants();
  memcpy(fb->work, quadrants.data(), fb->memSize);
  sender->remote.screenQuality = 90;
  std::vector<uint8_t> jpeg(fb->memSize);
  int size = 0;
  ASSERT_TRUE(Compress(sender, jpeg.data(), size));
  ASSERT_GT(size, 0);
  memset(fb->work, 0, fb->memSize);
  ASSERT_TRUE(Uncompress(sender, jpeg.data(), size_t(size)));
  EXPECT_NEAR(At(fb->work, 600, 360)[0], 220, 12);
  EXPECT_NEAR(At(fb->work, 600, 360)[2], 40, 12);
  staticworks = nullptr;
}
