#pragma once
// Text on the display: TrueType faces in numbered font slots, drawn with
// FreeType into the work buffer.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>

struct FrameBuffer;

constexpr int FONT_SLOTS = 20;

extern FT_Library library;
extern FT_Face face[FONT_SLOTS];
extern FT_GlyphSlot slot[FONT_SLOTS];
extern int fontSize[FONT_SLOTS];

// Loads face 0 of `fileName` at `pixelSize` into slot `slotNumber`; every
// failure is logged and leaves the slot empty.
void TTFLoad(const char *fileName, int pixelSize, int slotNumber);

// The slot table of the start-up, font files under the paths of GetPaths().
void LoadFontSlots();

// Reads one character of `text` (of `length` bytes) at `*position` and moves
// past it: 1 while a character was read, -1 at or past the end. An ill-formed
// sequence gives one not-valid character (code point 0), skipped by its
// maximal valid prefix.
int utf8_get_next_char(const uint8_t *text, int length, int *position, int *valid,
                       uint32_t *codePoint);

// Draws `text` with the left end of its baseline at (x, y), blended over the
// work buffer. Nothing is drawn from an empty slot.
void putString(int slotNumber, int x, int y, const char *text, uint8_t red, uint8_t green,
               uint8_t blue, FrameBuffer *fb);

// Width in pixels that putString advances over for `text`; 0 for an empty slot.
int getStringSpace(int slotNumber, const char *text);

// Rendered glyphs are kept per font slot and drawn again from there (on by
// default); off, every glyph is rendered anew. Both give the same pixels.
void SetGlyphCache(bool on);
