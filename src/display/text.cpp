#include "display/text.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/log.h"
#include "display/frame_buffer.h"
#include "display/screen_observer.h"
#include "platform/paths.h"

FT_Library library = nullptr;
FT_Face face[FONT_SLOTS] = {};
FT_GlyphSlot slot[FONT_SLOTS] = {};
int fontSize[FONT_SLOTS] = {};

namespace {
// The face of a slot, or null for an empty or unknown slot.
FT_Face FaceOf(int slotNumber) {
  if (slotNumber < 0 || slotNumber >= FONT_SLOTS) return nullptr;
  return face[slotNumber];
}

struct StartFont {
  int slotNumber;
  bool systemFont;  // under the system's DejaVu folder, else the product's fonts folder
  const char *file;
  int pixelSize;
};

const StartFont START_FONTS[] = {
    {0, true, "DejaVuSans-Bold.ttf", 24},    {1, true, "DejaVuSans.ttf", 22},
    {2, false, "PTS55F_W.ttf", 22},          {4, false, "PTS75F_W.ttf", 24},
    {5, true, "DejaVuSans.ttf", 8},          {6, true, "DejaVuSans.ttf", 14},
    {7, true, "DejaVuSans-Oblique.ttf", 24}, {8, true, "DejaVuSans.ttf", 20},
    {9, true, "DejaVuSans.ttf", 30},         {10, true, "DejaVuSans.ttf", 18},
    {11, true, "DejaVuSans-Bold.ttf", 21},
};

// Loads the character at the pen; false (pen unchanged) when it does not load.
bool LoadAtPen(int slotNumber, uint32_t codePoint, FT_Vector *pen) {
  FT_Matrix identity = {0x10000, 0, 0, 0x10000};
  FT_Set_Transform(face[slotNumber], &identity, pen);
  return FT_Load_Char(face[slotNumber], codePoint, FT_LOAD_RENDER) == 0;
}

// A rendered glyph as putString places it.
struct GlyphView {
  const uint8_t *coverage = nullptr;  // rows top to bottom, `pitch` bytes each
  int rows = 0, pitch = 0;
  bool gray = false;  // 8-bit coverage; other formats are not drawn
  FT_Pos height = 0, bearingY = 0;
  FT_Vector advance{};
};

GlyphView ViewOf(FT_GlyphSlot glyph) {
  const FT_Bitmap &bitmap = glyph->bitmap;
  return {bitmap.buffer,         int(bitmap.rows),
          bitmap.pitch,          bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.pitch > 0,
          glyph->metrics.height, glyph->metrics.horiBearingY,
          glyph->advance};
}

// Rendered glyphs per slot. A glyph rendered with the pen at the same place
// within its pixel is the same bitmap wherever it lands, so the key is the
// code point and the pen's sub-pixel offsets.
struct CachedGlyph {
  bool loaded = false;
  std::vector<uint8_t> coverage;
  GlyphView view;  // its coverage points into `coverage`
};
constexpr size_t GLYPHS_PER_SLOT = 4096;  // a slot's cache starts again beyond this
std::unordered_map<uint64_t, CachedGlyph> glyphCache[FONT_SLOTS];
std::atomic<bool> glyphCacheOn{true};
// FreeType faces are not for several threads at once; the cache neither.
std::mutex glyphMutex;

void ClearSlot(int slotNumber) {
  glyphCache[slotNumber].clear();
  if (face[slotNumber]) FT_Done_Face(face[slotNumber]);
  face[slotNumber] = nullptr;
  slot[slotNumber] = nullptr;
  fontSize[slotNumber] = 0;
}

uint64_t GlyphKey(uint32_t codePoint, const FT_Vector &pen) {
  return uint64_t(codePoint) << 12 | uint64_t(pen.y & 63) << 6 | uint64_t(pen.x & 63);
}

void Render(CachedGlyph &g, int slotNumber, uint32_t codePoint, FT_Vector *pen) {
  g.loaded = LoadAtPen(slotNumber, codePoint, pen);
  if (!g.loaded) return;
  g.view = ViewOf(slot[slotNumber]);
  if (g.view.gray) {
    const uint8_t *from = g.view.coverage;
    g.coverage.assign(from, from + size_t(g.view.rows) * g.view.pitch);
  }
  g.view.coverage = g.coverage.data();
}

// The glyph of `codePoint` at the pen; null when it does not load. `scratch`
// holds the view of an uncached glyph.
const GlyphView *GlyphAt(int slotNumber, uint32_t codePoint, FT_Vector *pen, GlyphView &scratch) {
  if (!glyphCacheOn) {
    if (!LoadAtPen(slotNumber, codePoint, pen)) return nullptr;
    scratch = ViewOf(slot[slotNumber]);
    return &scratch;
  }
  auto &cache = glyphCache[slotNumber];
  if (cache.size() >= GLYPHS_PER_SLOT) cache.clear();
  auto [at, added] = cache.try_emplace(GlyphKey(codePoint, *pen));
  if (added) Render(at->second, slotNumber, codePoint, pen);
  return at->second.loaded ? &at->second.view : nullptr;
}

// Calls `use` with each glyph of `text` and the pen where it goes, moving the
// pen by its advance; characters that do not load are skipped.
template <typename Use>
void ForEachGlyph(int slotNumber, const char *text, FT_Vector &pen, Use use) {
  std::lock_guard<std::mutex> lock(glyphMutex);
  int length = int(strlen(text)), position = 0, valid = 0;
  uint32_t codePoint = 0;
  GlyphView scratch;
  while (utf8_get_next_char(reinterpret_cast<const uint8_t *>(text), length, &position, &valid,
                            &codePoint) == 1) {
    const GlyphView *glyph = GlyphAt(slotNumber, valid ? codePoint : 0, &pen, scratch);
    if (!glyph) continue;
    use(*glyph, pen);
    pen.x += glyph->advance.x;
    pen.y += glyph->advance.y;
  }
}

// new = ((255 − a) × old) / 255 + (c AND a): full coverage gives the colour,
// none leaves the pixel as it was.
uint8_t Blend(uint8_t old, uint8_t colour, uint8_t a) {
  return uint8_t(((255 - a) * old) / 255 + (colour & a));
}

// The bitmap's bottom row lands on the baseline plus the glyph's descent and
// its left column at the pen. Only pixels whose four bytes lie inside the
// buffer are touched; in a row they are one stretch.
void BlendGlyph(FrameBuffer *fb, const GlyphView &glyph, const FT_Vector &pen,
                const uint8_t bgr[3]) {
  if (!glyph.gray) return;
  int64_t left = pen.x / 64;
  int64_t bottom = (pen.y + glyph.height - glyph.bearingY) / 64;
  int64_t size = fb->pixelSize, limit = int64_t(fb->memSize) - 4;
  int rows = glyph.rows, pitch = glyph.pitch;
  for (int i = 0; i < rows; i++) {
    const uint8_t *coverage = glyph.coverage + size_t(rows - 1 - i) * pitch;
    int64_t start = left * size + (bottom - i) * int64_t(fb->lineSize);
    int64_t first = start < 0 ? (size - 1 - start) / size : 0;
    int64_t end = start > limit ? 0 : std::min<int64_t>(pitch, (limit - start) / size + 1);
    for (int64_t j = first; j < end; j++) {
      uint8_t *p = fb->work + start + j * size;
      uint8_t a = coverage[j];
      if (a == 255) {
        p[0] = bgr[0], p[1] = bgr[1], p[2] = bgr[2];
      } else if (a != 0) {
        for (int k = 0; k < 3; k++) p[k] = Blend(p[k], bgr[k], a);
      }
      p[3] = 0;
    }
  }
}
}  // namespace

void TTFLoad(const char *fileName, int pixelSize, int slotNumber) {
  if (slotNumber < 0 || slotNumber >= FONT_SLOTS) return;
  LogSys(LOG_PRIO_INFO, "Iinitializing FreeType");
  // One library for all slots: a new one per call would only be leaked.
  if (!library && FT_Init_FreeType(&library) != 0) {
    library = nullptr;
    LogSys(LOG_PRIO_ERR, "Error initializing FreeType");
    return;
  }
  LogSys(LOG_PRIO_INFO, "Loading face: filename=%s", fileName);
  std::lock_guard<std::mutex> lock(glyphMutex);
  ClearSlot(slotNumber);
  FT_Face loaded = nullptr;
  FT_Error error = FT_New_Face(library, fileName, 0, &loaded);
  if (error == FT_Err_Unknown_File_Format) {
    LogSys(LOG_PRIO_ERR, "FreeType: file format not supported");
    return;
  }
  if (error != 0) {
    LogSys(LOG_PRIO_ERR, "FreeType: file error");
    return;
  }
  LogSys(LOG_PRIO_INFO, "Face loaded");
  if (FT_Set_Pixel_Sizes(loaded, 0, pixelSize) != 0)
    LogSys(LOG_PRIO_ERR, "Error Setting Pixel Size");
  LogSys(LOG_PRIO_INFO, "Pixel size sat");
  face[slotNumber] = loaded;
  slot[slotNumber] = loaded->glyph;
  fontSize[slotNumber] = pixelSize;
}

void LoadFontSlots() {
  const Paths &paths = GetPaths();
  for (const StartFont &f : START_FONTS) {
    std::string file = (f.systemFont ? paths.systemFontsDir : paths.fontsDir) + "/" + f.file;
    TTFLoad(file.c_str(), f.pixelSize, f.slotNumber);
  }
}

int utf8_get_next_char(const uint8_t *text, int length, int *position, int *valid,
                       uint32_t *codePoint) {
  int at = *position;
  if (!text || at < 0 || at >= length) return -1;
  *valid = 0;
  *codePoint = 0;
  uint8_t b0 = text[at];
  if (b0 < 0x80) {
    *valid = 1;
    *codePoint = b0;
    *position = at + 1;
    return 1;
  }
  if (b0 < 0xC2 || b0 > 0xF4) {
    *position = at + 1;
    return 1;
  }
  // Continuation bytes that follow and the range of the first one: the
  // narrower ranges exclude overlong forms, surrogates and values past U+10FFFF.
  int follow = b0 <= 0xDF ? 1 : b0 <= 0xEF ? 2 : 3;
  uint32_t value = b0 & (follow == 1 ? 0x1F : follow == 2 ? 0x0F : 0x07);
  uint8_t low = b0 == 0xE0 ? 0xA0 : b0 == 0xF0 ? 0x90 : 0x80;
  uint8_t high = b0 == 0xED ? 0x9F : b0 == 0xF4 ? 0x8F : 0xBF;
  int n = 1;
  for (; n <= follow && at + n < length; n++) {
    uint8_t b = text[at + n];
    if (b < (n == 1 ? low : 0x80) || b > (n == 1 ? high : 0xBF)) break;
    value = (value << 6) | (b & 0x3F);
  }
  *position = at + n;
  if (n > follow) {
    *valid = 1;
    *codePoint = value;
  }
  return 1;
}

void putString(int slotNumber, int x, int y, const char *text, uint8_t red, uint8_t green,
               uint8_t blue, FrameBuffer *fb) {
  if (!FaceOf(slotNumber) || !text || !fb) return;
  const uint8_t bgr[3] = {blue, green, red};
  FT_Vector pen = {FT_Pos(x) * 64, FT_Pos(y) * 64};
  ForEachGlyph(slotNumber, text, pen, [&](const GlyphView &glyph, const FT_Vector &at) {
    BlendGlyph(fb, glyph, at, bgr);
  });
  if (screenObserver.textDrawn) screenObserver.textDrawn(slotNumber, x, y, text, red, green, blue);
}

int getStringSpace(int slotNumber, const char *text) {
  if (!FaceOf(slotNumber) || !text) return 0;
  FT_Vector pen = {0, 0};
  ForEachGlyph(slotNumber, text, pen, [](const GlyphView &, const FT_Vector &) {});
  return int(pen.x / 64);
}

void SetGlyphCache(bool on) { glyphCacheOn = on; }
