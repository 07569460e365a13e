// Texts drawn on the screen come from the peer, the settings and the
// amplifier's replies: any bytes at any position must decode within the text
// and draw within the buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "display/frame_buffer.h"
#include "display/text.h"
#include "platform/paths.h"

namespace {
constexpr int WIDTH = 64, HEIGHT = 32, GUARD = 64;
constexpr uint8_t FENCE = 0xA5;
constexpr int SLOT = 0;

void CheckDecoding(const uint8_t *text, int length) {
  int position = 0, valid = 0;
  uint32_t cp = 0;
  while (true) {
    int before = position;
    if (utf8_get_next_char(text, length, &position, &valid, &cp) != 1) break;
    int step = position - before;
    if (step < 1 || step > 4 || position > length) abort();
    if (valid && (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) abort();
    if (!valid && cp != 0) abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool loaded = [] {
    LogCapture quiet;
    TTFLoad((Paths{}.systemFontsDir + "/DejaVuSans.ttf").c_str(), 20, SLOT);
    return true;
  }();
  (void)loaded;
  if (size < 4 || size > 512) return 0;
  int x = int(int8_t(data[0])) * 2, y = int(int8_t(data[1]));
  std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
  CheckDecoding(reinterpret_cast<const uint8_t *>(text.data()), int(text.size()));

  std::vector<uint8_t> store(GUARD + WIDTH * HEIGHT * 4 + GUARD, FENCE);
  FrameBuffer fb;
  fb.width = WIDTH;
  fb.height = HEIGHT;
  fb.pixelSize = 4;
  fb.lineSize = WIDTH * 4;
  fb.memSize = WIDTH * HEIGHT * 4;
  fb.work = fb.back = fb.screen = store.data() + GUARD;
  putString(SLOT, x, y, text.c_str(), 255, 255, 255, &fb);  // up to the first zero byte
  getStringSpace(SLOT, text.c_str());
  for (int i = 0; i < GUARD; i++)
    if (store[i] != FENCE || store[GUARD + fb.memSize + i] != FENCE) abort();
  return 0;
}
