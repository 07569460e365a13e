#include "display/text.h"

#include <cstring>
#include <string>

#include "core/log.h"
#include "display/frame_buffer.h"
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

void ClearSlot(int slotNumber) {
  if (face[slotNumber]) FT_Done_Face(face[slotNumber]);
  face[slotNumber] = nullptr;
  slot[slotNumber] = nullptr;
  fontSize[slotNumber] = 0;
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

// new = ((255 − a) × old) / 255 + (c AND a): full coverage gives the colour,
// none leaves the pixel as it was.
uint8_t Blend(uint8_t old, uint8_t colour, uint8_t a) {
  return uint8_t(((255 - a) * old) / 255 + (colour & a));
}

// The bitmap's bottom row lands on the baseline plus the glyph's descent and
// its left column at the pen.
void BlendGlyph(FrameBuffer *fb, FT_GlyphSlot glyph, const FT_Vector &pen, const uint8_t bgr[3]) {
  const FT_Bitmap &bitmap = glyph->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch <= 0) return;
  int64_t left = pen.x / 64;
  int64_t bottom = (pen.y + glyph->metrics.height - glyph->metrics.horiBearingY) / 64;
  int rows = int(bitmap.rows), pitch = bitmap.pitch;
  for (int i = 0; i < rows; i++) {
    const uint8_t *coverage = bitmap.buffer + size_t(rows - 1 - i) * pitch;
    for (int j = 0; j < pitch; j++) {
      int64_t offset = (left + j) * int64_t(fb->pixelSize) + (bottom - i) * int64_t(fb->lineSize);
      if (offset < 0 || offset + 3 >= int64_t(fb->memSize)) continue;
      uint8_t *p = fb->work + offset;
      for (int k = 0; k < 3; k++) p[k] = Blend(p[k], bgr[k], coverage[j]);
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
  int length = int(strlen(text)), position = 0, valid = 0;
  uint32_t codePoint = 0;
  while (utf8_get_next_char(reinterpret_cast<const uint8_t *>(text), length, &position, &valid,
                            &codePoint) == 1) {
    if (!LoadAtPen(slotNumber, valid ? codePoint : 0, &pen)) continue;
    BlendGlyph(fb, slot[slotNumber], pen, bgr);
    pen.x += slot[slotNumber]->advance.x;
    pen.y += slot[slotNumber]->advance.y;
  }
}

int getStringSpace(int slotNumber, const char *text) {
  if (!FaceOf(slotNumber) || !text) return 0;
  FT_Vector pen = {0, 0};
  int length = int(strlen(text)), position = 0, valid = 0;
  uint32_t codePoint = 0;
  while (utf8_get_next_char(reinterpret_cast<const uint8_t *>(text), length, &position, &valid,
                            &codePoint) == 1) {
    if (!LoadAtPen(slotNumber, valid ? codePoint : 0, &pen)) continue;
    pen.x += slot[slotNumber]->advance.x;
    pen.y += slot[slotNumber]->advance.y;
  }
  return int(pen.x / 64);
}
