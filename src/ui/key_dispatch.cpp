#include "ui/key_dispatch.h"

#include <mutex>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "tuner/banks.h"
#include "ui/captions.h"
#include "ui/key_screens.h"
#include "ui/main_screen.h"
#include "ui/menu.h"
#include "ui/screen_state.h"

namespace {
using DisplayLock = std::lock_guard<std::recursive_mutex>;
constexpr int ANTENNAS = 3;
constexpr int ATT_LAST_STEP = 3, ATT_STAND_BY = 4;
constexpr int MAIN_WINDOWS = 5;
constexpr uint8_t STATUS_B_TX = 0x01;

// The screensaver ends on any key, which does nothing else.
bool WakeScreen(Works *works) {
  DisplayLock lock(works->display.drawMutex);
  if (!works->core.screenSaverOn) return false;
  works->core.screenSaverOn = 0;
  RestoreBackground(works);
  LogErr("----------> DISATTIVO SAVE SCREEN\n");
  return true;
}

// Keys 1 to 5 of the main screen first close the information pages when
// they are open, and then do nothing else.
bool ClosedPages(Works *works) {
  DisplayLock lock(works->display.drawMutex);
  return EscFromStatus(works);
}

void StoreBankState(Works *works) {
  SaveToBank(works, works->cfg.NumBanco, works->tuner.antennaIdx);
}

void MemKey(Works *works, const KeyPress &k) {
  if (ClosedPages(works)) return;
  bool tableShown = works->ui.uiFlags & UI_MEMORY_TABLE;
  if (k.Held() && !tableShown) {
    LblMenuAntenna(works);
    OpenTable(works, UI_MEMORY_TABLE, UI_STATE_MEMORY);
  } else if (!tableShown) {
    ChangeBanco(works);
  } else {
    CloseTable(works, UI_MEMORY_TABLE, UI_STATE_MAIN);
  }
}

// IN-ATT: 0, 2, 3, 5 dB, then the amplifier in standby, then 0 dB again.
// While transmitting the amplifier is neither put in standby nor taken out
// of it: the steps wrap after 5 dB, and in standby the key is refused.
void AttenuatorKey(Works *works) {
  LinkState &l = works->link;
  bool standby = AmplifierInStandby(works);
  int next = l.attDisplay + 1;
  if (l.statusB & STATUS_B_TX) {
    if (standby) {
      AddErrore(works, ERR_CMD_NOT_AVAILABLE);
      return;
    }
    if (next > ATT_LAST_STEP) next = 0;
  } else if (next > ATT_STAND_BY) {
    next = 0;
  }
  if (next <= ATT_LAST_STEP) {
    works->cfg.Attenuator = uint8_t(next);
    l.attDisplay = uint8_t(next);
    IncPNTIn_CMDLinear(CMD_AT, works);
    if (standby) IncPNTIn_CMDLinear(CMD_AB0, works);
  } else {
    l.attDisplay = ATT_STAND_BY;
    if (!standby) IncPNTIn_CMDLinear(CMD_AB1, works);
  }
  StoreBankState(works);
}

void AntennaKey(Works *works) {
  TunerState &t = works->tuner;
  t.antennaIdx = (t.antennaIdx + 1) % ANTENNAS;
  IncPNTIn_CMDLinear(CMD_SA, works);
  StoreBankState(works);
}

// VIEW: the next main window; with an error pending, the error reset (the
// key's caption says so); held, the information pages.
void ViewKey(Works *works, const KeyPress &k) {
  if (k.Held()) {
    OpenInfoPages(works);
  } else if (VerifyError(works)) {
    GPIO_Errori(works);
    works->tuner.fineTune = 0;
  } else {
    int mode = MainWindowMode(works) % MAIN_WINDOWS + 1;
    {
      DisplayLock lock(works->display.drawMutex);
      SelectMainWindow(works, mode);
    }
    LogSys(LOG_PRIO_INFO, "type to %d\n", mode);
  }
}

int MainScreenKeys(Works *works, const KeyPress &k) {
  switch (k.key) {
    case 1:
      MemKey(works, k);
      break;
    case 2:
      if (!k.Held() && !ClosedPages(works)) AttenuatorKey(works);
      break;
    case 3:
      if (!ClosedPages(works)) AntennaKey(works);
      break;
    case 4:
      if (ClosedPages(works)) break;
      works->ui.manualMode = 0;
      EnterState(works, UI_STATE_TUNE);
      break;
    case 5:
      if (!ClosedPages(works)) EnterState(works, UI_STATE_MENU);
      break;
    case 6:
      ViewKey(works, k);
      break;
    default:
      break;
  }
  return 0;
}

int MenuKeys(Works *works, const KeyPress &k) {
  switch (k.key) {
    case 1:
      works->input.ctrlFlags.fetch_and(uint8_t(~CTRL_UI_UPDATE_REQUEST));
      works->ui.uiMessage.fetch_and(uint8_t(~UI_MSG_UI_UPDATE));
      EnterState(works, UI_STATE_MAIN);
      break;
    case 3:
      MenuPrevious(works);
      break;
    case 4:
      MenuNext(works);
      break;
    case 6:
      if (!MenuItemReadOnly(works)) EnterState(works, UI_STATE_MENU_EDIT);
      break;
    default:
      break;
  }
  return 0;
}

// Editing a value: the keys are the menu's actions; ENTER goes back to what
// was being browsed.
int MenuEditKeys(Works *works, const KeyPress &k) {
  static const int ACTION_OF_KEY[BUTTON_KEYS + 1] = {
      -1, -1, MENU_PREVIOUS_FIELD, MENU_NEXT_FIELD, MENU_MINUS, MENU_PLUS, MENU_ENTER};
  int action = ACTION_OF_KEY[k.key];
  if (action < 0) return 0;
  int repeat = ModifyParameter(works, action);
  if (action != MENU_ENTER) return repeat;
  uint8_t pages = works->ui.uiFlags;
  EnterState(works, (pages & UI_MEMORY_TABLE)   ? UI_STATE_MEMORY
                    : (pages & UI_FILTER_TABLE) ? UI_STATE_FILTERS
                                                : UI_STATE_MENU);
  return 0;
}

int InfoPageKeys(Works *works, const KeyPress &k) {
  if (k.key != 1) return 0;
  DisplayLock lock(works->display.drawMutex);
  EscFromStatus(works);
  works->ui.uiState = UI_STATE_MAIN;
  return 0;
}

int Dispatch(Works *works, const KeyPress &k) {
  works->core.lastActivity = WallSeconds();
  if (WakeScreen(works)) return 0;
  switch (works->ui.uiState) {
    case UI_STATE_MAIN:
      return MainScreenKeys(works, k);
    case UI_STATE_MENU:
      return MenuKeys(works, k);
    case UI_STATE_MENU_EDIT:
      return MenuEditKeys(works, k);
    case UI_STATE_TUNE:
      return TuneScreenKeys(works, k);
    case UI_STATE_MANUAL:
      return ManualTuneKeys(works, k);
    case UI_STATE_FILTERS:
      return FilterTableKeys(works, k);
    case UI_STATE_INFO:
      return InfoPageKeys(works, k);
    case UI_STATE_MEMORY:
    case UI_STATE_MEMORY_EDIT:
    case UI_STATE_SAVE_TUNE:
    case UI_STATE_BANK_UTIL:
    case UI_STATE_COPY:
    case UI_STATE_RESET:
      return MemoryKeys(works, k);
    default:
      return 0;
  }
}
}  // namespace

int DecodeTasto(Works *works, int key, int holdMask) {
  bool live = works->core.running && key >= 1 && key <= BUTTON_KEYS;
  int repeat = live ? Dispatch(works, {key, holdMask}) : 0;
  works->ui.uiMessage.fetch_and(uint8_t(~UI_MSG_LONG_PRESS));
  return repeat;
}
