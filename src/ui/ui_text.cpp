#include "ui/ui_text.h"

#include <cstdarg>
#include <cstdio>

#include "core/works.h"
#include "display/text.h"

void DrawText(Works *works, int slotNumber, int x, int y, Colour colour, const char *format, ...) {
  if (!works->display.fb) return;
  char text[UI_TEXT_MAX];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  putString(slotNumber, x, y, text, colour.r, colour.g, colour.b, works->display.fb);
}
