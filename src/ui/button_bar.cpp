#include "ui/button_bar.h"

#include <mutex>

#include "amplifier/errors.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "ui/captions.h"
#include "ui/error_tiles.h"
#include "ui/info_page.h"
#include "ui/menu.h"
#include "ui/status_area.h"
#include "ui/ui_text.h"

namespace {
constexpr int BAR_TOP = 420, BAR_BOTTOM = 479, MARK_TOP = 478;
constexpr int FACE_LEFT[BUTTON_KEYS] = {0, 133, 266, 399, 532, 665};
constexpr int FACE_RIGHT[BUTTON_KEYS] = {129, 262, 395, 528, 661, 798};
constexpr int FRAME_X[BUTTON_KEYS] = {130, 263, 396, 529, 662, 799};
constexpr int LINE1_X[BUTTON_KEYS] = {20, 143, 276, 409, 542, 675};
constexpr int LINE2_X[BUTTON_KEYS] = {30, 153, 286, 419, 552, 695};
constexpr int LINE1_Y = 445, LINE2_Y = 472, LINE1_SLOT = 0, LINE2_SLOT = 1;
constexpr int RESET_LINE1_X = 690;
constexpr Colour FACE{40, 40, 40}, FRAME{120, 120, 120};

// The long-press mark under a key, columns x0..x1.
void Mark(FrameBuffer *fb, int x0, int x1) {
  FillBox(x0, MARK_TOP, x1 + 1, BAR_BOTTOM + 1, ORANGE.r, ORANGE.g, ORANGE.b, fb, 0);
}

// Fill and lines end one past their last pixel; the frame's verticals end on it.
void DrawFaces(FrameBuffer *fb, uint8_t flags) {
  for (int k = 0; k < BUTTON_KEYS; k++)
    FillBox(FACE_LEFT[k], BAR_TOP, FACE_RIGHT[k] + 1, BAR_BOTTOM + 1, FACE.r, FACE.g, FACE.b, fb,
            0);
  if (flags & PAGE_LONG_KEY1) Mark(fb, 2, 127);
  if (flags & PAGE_LONG_KEY6) Mark(fb, 667, 796);
  for (int k = 0; k < BUTTON_KEYS; k++) {
    DrawHorizontalLine(FACE_LEFT[k], BAR_TOP, FACE_RIGHT[k] + 1, FRAME.r, FRAME.g, FRAME.b, fb, 0);
    DrawLine(FRAME_X[k], BAR_TOP, FRAME_X[k], BAR_BOTTOM, FRAME.r, FRAME.g, FRAME.b, fb, 0);
  }
}

void Blank(ButtonPage &page, int key) {
  for (char *line : page.text[key - 1]) line[0] = '\0';
}

// The captions the state shows instead of its fixed ones: no field keys for
// a single-field value, no ENTER on a read-only parameter, the error reset
// on VIEW and MANUAL while an error is pending.
void ApplyExceptions(Works *works, int state, ButtonPage &page, bool &errorKey) {
  errorKey = false;
  if (state == UI_STATE_MENU_EDIT && !MenuItemMultiField(works)) {
    Blank(page, 2);
    Blank(page, 3);
  } else if (state == UI_STATE_MENU && MenuItemReadOnly(works)) {
    Blank(page, 6);
  } else if ((state == UI_STATE_MAIN || state == UI_STATE_TUNE) && VerifyError(works)) {
    errorKey = true;
  }
}

void DrawCaptions(Works *works, const ButtonPage &page, bool errorKey) {
  for (int k = 0; k < BUTTON_KEYS; k++) {
    const char *line1 = page.text[k][0], *line2 = page.text[k][1];
    int x1 = LINE1_X[k];
    if (errorKey && k == BUTTON_KEYS - 1) {
      line1 = "RESET";
      line2 = " Error ";
      x1 = RESET_LINE1_X;
    }
    if (line1[0]) DrawText(works, LINE1_SLOT, x1, LINE1_Y, ORANGE, "%s", line1);
    if (line2[0]) DrawText(works, LINE2_SLOT, LINE2_X[k], LINE2_Y, ORANGE, "%s", line2);
  }
}

void DrawButtonBar(Works *works) {
  int state = works->ui.uiState;
  if (state < 0 || state >= CAPTION_PAGES) state = UI_STATE_MAIN;
  UpdateLabels(works, state);
  ButtonPage page = CaptionPage(works, state);
  DrawFaces(works->display.fb, page.flags);
  bool errorKey = false;
  ApplyExceptions(works, state, page, errorKey);
  DrawCaptions(works, page, errorKey);
}
}  // namespace

void LoadButtons(Works *works, const TavoParamsRecord &params) {
  std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
  if (works->display.fb) DrawButtonBar(works);
  DrawParameters(works);
  DrawError(works);
  ViewStatusInfo(works, params);
  ViewStatusTX(works);
}
