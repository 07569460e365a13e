#include "remote/screen_frames.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "codec/jpeg/jpeg_decoder.h"
#include "codec/jpeg/jpeg_encoder.h"
#include "core/log.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "remote/ws_frame.h"
#include "remote/ws_send.h"
#include "settings/setup_record.h"

namespace {
constexpr size_t CHUNK_PAYLOAD = 8 + WS_CHUNK_DATA;
constexpr int PIXEL_BYTES = 4;

bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool StandAlone(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8); }

// The peer's image as background and screen.
void ShowPeerScreen(Works *works, const uint8_t *image, uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
  FrameBuffer *fb = works->display.fb;
  if (size == fb->memSize)
    memcpy(fb->work, image, size);
  else if (!Uncompress(works, image, size))
    return;
  memcpy(fb->back, fb->work, fb->memSize);
  fbRealize(fb);
}

bool DropChunk(ScreenAssembly &assembly, const char *why, uint32_t total, uint32_t offset) {
  LogSys(LOG_PRIO_ERR, "screen chunk dropped (%s): size %u offset %u", why, total, offset);
  assembly.total = 0;
  return false;
}

// True when the chunk belongs to the image being put together (or starts one).
bool Admit(ScreenAssembly &assembly, uint32_t memSize, uint32_t total, uint32_t offset) {
  if (total == 0 || total > memSize) return DropChunk(assembly, "size", total, offset);
  if (offset >= total) return DropChunk(assembly, "offset", total, offset);
  if (offset == 0) {
    assembly.total = total;
    assembly.next = 0;
  }
  if (assembly.total != total || assembly.next != offset)
    return DropChunk(assembly, "order", total, offset);
  return true;
}
}  // namespace

bool Compress(Works *works, uint8_t *out, int &size) {
  FrameBuffer *fb = works->display.fb;
  jpegenc::Params params;
  params.quality = works->remote.screenQuality;
  params.subsampling = 3;
  params.chromaUsesLumaTable = false;
  params.twoPass = false;
  size = static_cast<int>(fb->memSize);
  if (jpegenc::encodeToMemory(out, size, fb->width, fb->height, PIXEL_BYTES, fb->work, params))
    return true;
  LogSys(LOG_PRIO_ERR, "screen image not encoded");
  size = 0;
  return false;
}

bool JpegDimensions(const uint8_t *jpeg, size_t size, int &width, int &height) {
  if (size < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return false;
  size_t at = 2;
  while (at + 1 < size) {
    if (jpeg[at] != 0xFF) return false;
    uint8_t marker = jpeg[at + 1];
    at += 2;
    if (marker == 0xFF) {  // fill byte
      at--;
      continue;
    }
    if (StandAlone(marker)) continue;
    if (marker == 0xD9 || marker == 0xDA || at + 2 > size) return false;
    size_t len = size_t(jpeg[at]) << 8 | jpeg[at + 1];
    if (len < 2 || at + len > size) return false;
    if (IsFrameHeader(marker)) {
      if (len < 7) return false;
      height = jpeg[at + 3] << 8 | jpeg[at + 4];
      width = jpeg[at + 5] << 8 | jpeg[at + 6];
      return true;
    }
    at += len;
  }
  return false;
}

bool Uncompress(Works *works, const uint8_t *jpeg, size_t size) {
  FrameBuffer *fb = works->display.fb;
  int width = 0, height = 0, components = 0;
  if (!JpegDimensions(jpeg, size, width, height) || width != fb->width || height != fb->height ||
      fb->pixelSize != PIXEL_BYTES) {
    LogSys(LOG_PRIO_ERR, "screen image of %dx%d refused", width, height);
    return false;
  }
  std::unique_ptr<uint8_t, decltype(&free)> image(
      jpegdec::decodeFromMemory(jpeg, static_cast<int>(size), &width, &height, &components,
                                PIXEL_BYTES),
      &free);
  if (!image || size_t(width) * height * PIXEL_BYTES != fb->memSize) return false;
  memcpy(fb->work, image.get(), fb->memSize);
  return true;
}

void sendWebSockFbFrame() {
  Works *works = staticworks.load();
  if (!works || !works->remote.wsConnected || works->cfg.setup->WebSocket != '1') return;
  FrameBuffer *fb = works->display.fb;
  if (!fb) return;
  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[fb->memSize]);
  if (!data) return;
  int size = static_cast<int>(fb->memSize);
  {
    std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
    if (works->remote.screenQuality == 0)
      memcpy(data.get(), fb->screen, fb->memSize);
    else if (!Compress(works, data.get(), size))
      return;
  }
  SendChunks(works, "FB", data.get(), static_cast<uint32_t>(size));
}

void TakeScreenChunk(Works *works, ScreenAssembly &assembly, const uint8_t *payload, size_t len) {
  FrameBuffer *fb = works->display.fb;
  uint32_t total = len >= 8 ? GetBE32(payload) : 0;
  uint32_t offset = len >= 8 ? GetBE32(payload + 4) : 0;
  if (len != CHUNK_PAYLOAD || !fb) {
    DropChunk(assembly, "length", total, offset);
    return;
  }
  if (!Admit(assembly, fb->memSize, total, offset)) return;
  if (assembly.image.size() != fb->memSize) assembly.image.assign(fb->memSize, 0);
  uint32_t n = total - offset < WS_CHUNK_DATA ? total - offset : WS_CHUNK_DATA;
  memcpy(assembly.image.data() + offset, payload + 8, n);
  assembly.next = offset + WS_CHUNK_DATA;
  if (offset + n < total) return;
  assembly.total = 0;
  ShowPeerScreen(works, assembly.image.data(), total);
}
