#include "display/screen.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "core/works.h"
#include "display/frame_buffer.h"
#include "display/image.h"
#include "display/text.h"

namespace {
using DisplayLock = std::lock_guard<std::recursive_mutex>;

constexpr int MESSAGE_SLOT = 8;
constexpr int MESSAGE_X = 100, MESSAGE_Y = 400;
}  // namespace

void LoadBackground(Works *works, const char *name) {
  DisplayLock lock(works->display.drawMutex);
  snprintf(works->display.imageName, sizeof works->display.imageName, "%s", name);
  getPng(works, 1);
}

void CopyBackground(Works *works) {
  DisplayLock lock(works->display.drawMutex);
  if (works->display.fb) fbSetBack(works->display.fb);
}

void ShowScreen(Works *works) {
  DisplayLock lock(works->display.drawMutex);
  if (works->display.fb) fbRealize(works->display.fb);
}

void ShowBackground(Works *works, const char *name) {
  DisplayLock lock(works->display.drawMutex);
  LoadBackground(works, name);
  CopyBackground(works);
  ShowScreen(works);
}

void ShowText(Works *works, int slotNumber, int x, int y, const char *text, uint8_t red,
              uint8_t green, uint8_t blue) {
  DisplayLock lock(works->display.drawMutex);
  if (!works->display.fb) return;
  putString(slotNumber, x, y, text, red, green, blue, works->display.fb);
  fbRealize(works->display.fb);
}

void DrawLinkError(Works *works) {
  if (works->core.linkErrState <= 0) return;
  std::string text = "Error! " + GetLinkErrorMessage(works);
  DisplayLock lock(works->display.drawMutex);
  if (works->display.fb)
    putString(MESSAGE_SLOT, MESSAGE_X, MESSAGE_Y, text.c_str(), 250, 250, 250, works->display.fb);
}
