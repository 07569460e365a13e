#include "ui/main_screen.h"

#include <mutex>

#include "core/works.h"
#include "display/screen.h"
#include "display/text.h"
#include "network/lan_info.h"
#include "settings/setup_record.h"
#include "ui/button_bar.h"
#include "ui/meters.h"
#include "ui/plot.h"
#include "ui/ui_text.h"

namespace {
constexpr int MODE_SWR = 2, MODE_PLOT_WIDE = 4, MODE_PLOT_NARROW = 5;
constexpr int MODE_TAVO = 1;
constexpr int TOP_LINE_SLOT = 6, TOP_LINE_RIGHT = 780, TOP_LINE_Y = 17;

const char *BackgroundOf(Works *works, int mode) {
  bool high = HighPowerVariant(works->link);
  if (mode >= MODE_PLOT_WIDE) return "m5a";
  if (mode == MODE_SWR) return high ? "img3b" : "img3";
  return high ? "img1b" : "img1";
}

void SetPlotSpan(Works *works, int mode) {
  bool wide = mode == MODE_PLOT_WIDE;
  divX = wide ? 16 : 8;
  works->ui.plotSpan = wide ? 160000 : 80000;
  xRangeEnd = wide ? 854 : 427;
}

void DrawTopLine(Works *works) {
  if (!works->display.fb) return;
  char network[LAN_TEXT_SIZE], text[UI_TEXT_MAX];
  NetworkText(works, network, sizeof network);
  snprintf(text, sizeof text, works->core.softwareUpdate ? "SW UPDATE   %s %s" : "%s %s", network,
           works->ui.dateTime);
  int x = TOP_LINE_RIGHT - getStringSpace(TOP_LINE_SLOT, text);
  DrawText(works, TOP_LINE_SLOT, x, TOP_LINE_Y, WHITE, "%s", text);
}
}  // namespace

int MainWindowMode(Works *works) {
  int mode = works->ui.mainWindow;
  return mode >= 1 && mode <= MODE_PLOT_NARROW ? mode : 1;
}

void SetWorkImg(Works *works) {
  int mode = MainWindowMode(works);
  {
    std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
    LoadBackground(works, BackgroundOf(works, mode));
    CopyBackground(works);
  }
  if (works->tuner.modeWorkIdx != MODE_TAVO) WriteSetupFlag(works->cfg.setup->extIoRun, '0');
  if (mode >= MODE_PLOT_WIDE) SetPlotSpan(works, mode);
}

void SelectMainWindow(Works *works, int mode) {
  works->ui.mainWindow = mode >= 1 && mode <= MODE_PLOT_NARROW ? mode : 1;
  works->ui.uiFlags = 0;
  works->ui.auxPeakAngle = 0;
  works->ui.auxPeakRestart = 1;
  SetWorkImg(works);
}

void OpenInfoPages(Works *works) {
  std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
  works->ui.uiFlags |= UI_INFO_PAGES;
  LoadBackground(works, "status");
  CopyBackground(works);
  works->ui.uiState = UI_STATE_INFO;
}

bool EscFromStatus(Works *works) {
  if (!(works->ui.uiFlags & UI_INFO_PAGES)) return false;
  works->ui.uiFlags &= uint8_t(~UI_INFO_PAGES);
  SetWorkImg(works);
  return true;
}

void ClearPeakNeedles(Works *works) {
  works->ui.fwdPeakAngle = 0;
  works->ui.auxPeakAngle = 0;
  works->ui.auxPeakRestart = 1;
}

void ComposeMainScreen(Works *works, const TavoParamsRecord &params) {
  if (works->ui.uiFlags != UI_INFO_PAGES) DrawTopLine(works);
  LoadButtons(works, params);
  if (works->ui.uiFlags != 0) return;
  if (MainWindowMode(works) < MODE_PLOT_WIDE) {
    DrawMeters(works);
    DrawFreq(works);
    DrawMeterTexts(works);
  } else {
    DrawGrid(works);
  }
}
