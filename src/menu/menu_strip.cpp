// The menu strip over the button bar: the previous, the current and the
// next parameter with their values.
#include <cstdio>

#include "core/works.h"
#include "display/frame_buffer.h"
#include "display/text.h"
#include "menu/menu_table.h"
#include "ui/menu.h"
#include "ui/ui_text.h"

namespace {
constexpr int BAND_TOP = 285, BAND_BOTTOM = 364, CURRENT_TOP = 311, CURRENT_BOTTOM = 339;
constexpr int PREVIOUS_Y = 305, CURRENT_Y = 335, NEXT_Y = 360, INFO_PAGES_SHIFT = 50;
constexpr int ID_X = 20, HEADING_X = 70, ITEM_X = 350, VALUE_RIGHT = 790;
constexpr int NEIGHBOUR_SLOT = 1, NEIGHBOUR_VALUE_SLOT = 11, CURRENT_SLOT = 7,
              BROWSE_VALUE_SLOT = 0;
constexpr int MESSAGE_SLOT = 8, MESSAGE_X = 5, MESSAGE_Y = 400;
constexpr Colour BAND{40, 40, 40}, CURRENT_BAND{80, 80, 80};

void Band(FrameBuffer *fb, int top, int bottom, Colour c, int shift) {
  FillBox(1, top + shift, 799, bottom + 1 + shift, c.r, c.g, c.b, fb, 0);
}

void DrawHeading(Works *works, int index, int y, int slot, Colour colour) {
  const MenuEntry &e = menuPar[index];
  DrawText(works, slot, ID_X, y, colour, "%u -", unsigned(e.id));
  DrawText(works, slot, HEADING_X, y, colour, "%s", e.heading);
  DrawText(works, slot, ITEM_X, y, colour, "%s", e.items[0].name);
}

void DrawRightAligned(Works *works, int slot, int y, Colour colour, const char *text) {
  DrawText(works, slot, VALUE_RIGHT - getStringSpace(slot, text), y, colour, "%s", text);
}

void DrawNeighbour(Works *works, int index, int y) {
  char value[MENU_VALUE_SIZE];
  DrawHeading(works, index, y, NEIGHBOUR_SLOT, ORANGE);
  LoadParameterMenu(works, value, sizeof value, index, 0);
  DrawRightAligned(works, NEIGHBOUR_VALUE_SLOT, y, ORANGE, value);
}

// The address with the octet being edited set apart: the octets before it
// with their dots, the octet, the dots and octets after it, right-aligned
// together; a blank stands for an empty first or last piece.
void DrawAddressEdit(Works *works, const LanView &view, int y) {
  char before[20] = " ", octet[8], after[20] = " ";
  int n = 0;
  for (int i = 0; i < view.edited; i++)
    n += snprintf(before + n, sizeof before - n, "%u.", unsigned(view.octets[i]));
  snprintf(octet, sizeof octet, "%i", int(view.octets[view.edited]));
  n = 0;
  for (int i = view.edited + 1; i < 4; i++)
    n += snprintf(after + n, sizeof after - n, ".%u", unsigned(view.octets[i]));
  int x = VALUE_RIGHT - getStringSpace(CURRENT_SLOT, before) - getStringSpace(CURRENT_SLOT, octet) -
          getStringSpace(CURRENT_SLOT, after);
  DrawText(works, CURRENT_SLOT, x, y, ORANGE, "%s", before);
  x += getStringSpace(CURRENT_SLOT, before);
  DrawText(works, CURRENT_SLOT, x, y, LIGHT, "%s", octet);
  x += getStringSpace(CURRENT_SLOT, octet);
  DrawText(works, CURRENT_SLOT, x, y, ORANGE, "%s", after);
}

void DrawCurrent(Works *works, int index, int y) {
  DrawHeading(works, index, y, CURRENT_SLOT, WHITE);
  bool editing = works->ui.uiState == UI_STATE_MENU_EDIT;
  LanView view;
  if (editing && LoadLanView(index, view) && view.edited >= 0 && view.edited <= 3)
    return DrawAddressEdit(works, view, y);
  char value[MENU_VALUE_SIZE];
  LoadParameterMenu(works, value, sizeof value, index, 0);
  if (editing)
    DrawRightAligned(works, CURRENT_SLOT, y, LIGHT, value);
  else
    DrawRightAligned(works, BROWSE_VALUE_SLOT, y, WHITE, value);
}

void DrawUpdateMessage(Works *works) {
  if (!(works->ui.uiMessage & UI_MSG_UI_UPDATE)) return;
  DrawText(works, MESSAGE_SLOT, MESSAGE_X, MESSAGE_Y, LIGHT, "%s",
           works->core.softwareUpdate ? "Update UI in progress: Wait for reset (max 5 min)"
                                      : "UI already updated");
}
}  // namespace

void DrawMenuStrip(Works *works) {
  FrameBuffer *fb = works->display.fb;
  if (!fb) return;
  int shift = (works->ui.uiFlags & UI_INFO_PAGES) ? INFO_PAGES_SHIFT : 0;
  int index = works->ui.menuIndex;
  if (index < 0 || index >= MENU_ROWS) index = 0;
  Band(fb, BAND_TOP, CURRENT_TOP - 1, BAND, shift);
  Band(fb, CURRENT_TOP, CURRENT_BOTTOM, CURRENT_BAND, shift);
  Band(fb, CURRENT_BOTTOM + 1, BAND_BOTTOM, BAND, shift);
  DrawNeighbour(works, index == 0 ? MENU_ROWS - 1 : index - 1, PREVIOUS_Y + shift);
  DrawCurrent(works, index, CURRENT_Y + shift);
  DrawNeighbour(works, index == MENU_ROWS - 1 ? 0 : index + 1, NEXT_Y + shift);
  DrawUpdateMessage(works);
}
