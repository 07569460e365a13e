#include "ui/error_tiles.h"

#include <algorithm>

#include "amplifier/errors.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "ui/ui_text.h"

namespace {
constexpr int TILE_COLUMNS = 6;
constexpr int COLUMN_X[TILE_COLUMNS][2] = {{5, 130},   {133, 263}, {266, 396},
                                           {399, 529}, {532, 662}, {665, 795}};
constexpr int TOP = 370, BOTTOM = 415, TEXT_SLOT = 10;
constexpr uint8_t FLAG_ERROR = 0x01;
}  // namespace

std::vector<ErrorTile> ErrorTileLayout(int count) {
  std::vector<ErrorTile> tiles;
  int shown = std::clamp(count, 0, TILE_COLUMNS);
  for (int c = TILE_COLUMNS - shown; c < TILE_COLUMNS; c++)
    tiles.push_back({COLUMN_X[c][0], COLUMN_X[c][1], count - 1 - (c - (TILE_COLUMNS - shown))});
  return tiles;
}

void DrawError(Works *works) {
  if (works->ui.uiFlags != 0 || !works->display.fb) return;
  // One copy of the list for all tiles: it may change while they are drawn.
  std::vector<int32_t> list = GetErrList(works);
  for (const ErrorTile &t : ErrorTileLayout(int(list.size())))
    DrawTastoErrore(works, t.x0, t.x1, list[t.position]);
}

void DrawTastoErrore(Works *works, int x0, int x1, int32_t code) {
  FrameBuffer *fb = works->display.fb;
  if (!fb) return;
  ErrorDescr d = GetErrDescr(works, code);
  Colour fill = (d.flags & FLAG_ERROR) ? Colour{255, 30, 0} : ORANGE;
  FillBox(x0, TOP, x1, BOTTOM, fill.r, fill.g, fill.b, fb, 0);
  DrawLine(x0, TOP, x0, BOTTOM, 255, 255, 255, fb, 0);
  DrawLine(x1, TOP, x1, BOTTOM, 255, 255, 255, fb, 0);
  DrawHorizontalLine(x0 + 1, TOP, x1, 255, 255, 255, fb, 0);
  DrawHorizontalLine(x0 + 1, BOTTOM, x1, 255, 255, 255, fb, 0);
  DrawText(works, TEXT_SLOT, x0 + 4, 390, LIGHT, "%.*s", int(sizeof d.line1), d.line1);
  DrawText(works, TEXT_SLOT, x0 + 4, 410, LIGHT, "%.*s", int(sizeof d.line2), d.line2);
}
