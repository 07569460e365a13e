#include "ui/screen_state.h"

#include <mutex>

#include "core/works.h"
#include "display/screen.h"
#include "tuner/tune_control.h"
#include "ui/captions.h"
#include "ui/main_screen.h"

namespace {
using DisplayLock = std::lock_guard<std::recursive_mutex>;
constexpr const char *INFO_BACKGROUND = "status", *TABLE_BACKGROUND = "statusB";

void ShowOwnBackground(Works *works, const char *name) {
  LoadBackground(works, name);
  CopyBackground(works);
}
}  // namespace

void EnterState(Works *works, int32_t state) {
  DisplayLock lock(works->display.drawMutex);
  works->ui.uiState = state;
}

void OpenTable(Works *works, uint8_t page, int32_t state) {
  DisplayLock lock(works->display.drawMutex);
  works->ui.uiFlags |= page;
  ShowOwnBackground(works, TABLE_BACKGROUND);
  works->ui.uiState = state;
}

void CloseTable(Works *works, uint8_t page, int32_t state) {
  DisplayLock lock(works->display.drawMutex);
  works->ui.uiFlags &= uint8_t(~page);
  SetWorkImg(works);
  works->ui.uiState = state;
}

void RestoreBackground(Works *works) {
  DisplayLock lock(works->display.drawMutex);
  uint8_t pages = works->ui.uiFlags;
  if (pages & UI_INFO_PAGES)
    ShowOwnBackground(works, INFO_BACKGROUND);
  else if (pages & (UI_MEMORY_TABLE | UI_FILTER_TABLE))
    ShowOwnBackground(works, TABLE_BACKGROUND);
  else
    SetWorkImg(works);
}

void ReturnToMainScreen(Works *works) {
  if (TestTransmissionRunning(works)) {
    StopTestTransmission(works);
    LabelTestTransmission(works, false);
  }
  DisplayLock lock(works->display.drawMutex);
  works->ui.uiFlags = 0;
  works->ui.manualMode = 0;
  works->ui.uiState = UI_STATE_MAIN;
  SetWorkImg(works);
}
