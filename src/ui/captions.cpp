#include "ui/captions.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/works.h"
#include "tuner/tune_control.h"
#include "tuner/tune_word.h"
#include "ui/status_area.h"

namespace {
constexpr int ATT_STAND_BY = 4;

// The fixed captions of one page, key by key (line 1, line 2); null is blank.
// The blanks in front centre each text over its key.
struct FixedPage {
  const char *line[BUTTON_KEYS][CAPTION_LINES];
  uint8_t flags;
};

constexpr const char *BACK = " BACK", *ENTER = "  ENTER";
const FixedPage FIXED[CAPTION_PAGES] = {
    // 0 main screen
    {{{"  MEM", nullptr},
      {" IN-ATT", nullptr},
      {"   ANT", nullptr},
      {"  TUNE", nullptr},
      {"    SET", nullptr},
      {"   VIEW", nullptr}},
     PAGE_LONG_KEY1 | PAGE_LONG_KEY6},
    // 1 menu, browsing
    {{{BACK, nullptr}, {}, {"     UP", nullptr}, {" DOWN", nullptr}, {}, {ENTER, nullptr}}, 0},
    // 2 menu, editing a value
    {{{},
      {"      <", nullptr},
      {"      >", nullptr},
      {"      -", nullptr},
      {"      +", nullptr},
      {ENTER, nullptr}},
     0},
    // 3 tune screen
    {{{BACK, nullptr},
      {" TUNE F", "   Off"},
      {" TUNE C", "   Off"},
      {"   ATU", nullptr},
      {},
      {"MANUAL", " Tune"}},
     0},
    // 4 manual tune
    {{{BACK, nullptr},
      {" down L", nullptr},
      {"   up L", nullptr},
      {" down C", nullptr},
      {"   up C", nullptr},
      {"STARTTX", nullptr}},
     PAGE_LONG_KEY1},
    // 5 port failure
    {{{}, {}, {}, {}, {"  Retry", nullptr}, {"  Cancel", nullptr}}, 0},
    // 6 memory table
    {{{BACK, nullptr},
      {" INTERF", nullptr},
      {"     UP", nullptr},
      {" DOWN", nullptr},
      {"   UTIL", nullptr},
      {ENTER, nullptr}},
     0},
    // 7 memory table, editing a row
    {{{BACK, nullptr},
      {"      <", nullptr},
      {"      >", nullptr},
      {"      +", nullptr},
      {"      -", nullptr},
      {"   SAVE", nullptr}},
     0},
    // 8 save the tune
    {{{"  ESC", nullptr}, {"  BANK", nullptr}, {"   ANT", nullptr}, {}, {}, {"   SAVE", nullptr}},
     0},
    // 9 bank utilities
    {{{BACK, nullptr}, {"  COPY", nullptr}, {"  RESET", nullptr}, {}, {}, {}}, 0},
    // 10 copy a bank
    {{{BACK, nullptr}, {" ORIGIN", nullptr}, {"   DEST", nullptr}, {}, {}, {"  START", " COPY"}},
     0},
    // 11 reset a bank
    {{{BACK, nullptr}, {"  BANK", nullptr}, {}, {}, {}, {"  START", "RESET"}}, 0},
    // 12 filter table
    {{{"  ESC", nullptr},
      {"     UP", nullptr},
      {" DOWN", nullptr},
      {},
      {" Enable", nullptr},
      {" Disable", nullptr}},
     0},
    // 13 information pages
    {{{BACK, nullptr}}, 0},
    {},
    {},
};

void VSetCaption(Works *works, int page, int key, int line, const char *format, va_list args) {
  if (page < 0 || page >= CAPTION_PAGES || key < 1 || key > BUTTON_KEYS || line < 1 ||
      line > CAPTION_LINES)
    return;
  std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
  char *field = works->ui.Koramenu[page].text[key - 1][line - 1];
  vsnprintf(field, CAPTION_SIZE, format, args);
}

void FillFixed(Works *works, int page) {
  const FixedPage &fixed = FIXED[page];
  std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
  ButtonPage &p = works->ui.Koramenu[page];
  memset(&p, 0, sizeof p);
  for (int key = 0; key < BUTTON_KEYS; key++)
    for (int line = 0; line < CAPTION_LINES; line++)
      if (const char *text = fixed.line[key][line])
        snprintf(p.text[key][line], CAPTION_SIZE, "%s", text);
  p.flags = fixed.flags;
}

// The main screen's antenna (from 1) and main-window mode.
void MainScreenLabels(Works *works) {
  SetCaption(works, UI_STATE_MAIN, 3, 2, "     %d", int(works->tuner.antennaIdx) + 1);
  SetCaption(works, UI_STATE_MAIN, 6, 2, "    %d", int(works->ui.mainWindow));
}

// The line under the tune key last used: whether its tune runs.
void TuneKeyLabel(Works *works) {
  int key = works->tuner.fineTune == 1 ? 2 : 3;
  SetCaption(works, UI_STATE_TUNE, key, 2, works->tuner.tuneStatus != 0 ? "    On" : "   Off");
}
}  // namespace

void InitButtonCaptions(Works *works) {
  for (int page = 0; page < CAPTION_PAGES; page++) {
    FillFixed(works, page);
    UpdateLabels(works, page);
  }
}

void SetCaption(Works *works, int page, int key, int line, const char *format, ...) {
  va_list args;
  va_start(args, format);
  VSetCaption(works, page, key, line, format, args);
  va_end(args);
}

ButtonPage CaptionPage(Works *works, int page) {
  if (page < 0 || page >= CAPTION_PAGES) return ButtonPage{};
  std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
  return works->ui.Koramenu[page];
}

void UpdateLabels(Works *works, int page) {
  switch (page) {
    case UI_STATE_MAIN:
      MainScreenLabels(works);
      SetAttenuatorLabel(works);
      SetModeWorkLabel(works);
      break;
    case UI_STATE_TUNE:
      TuneKeyLabel(works);
      LabelByPassATU(works);
      break;
    case UI_STATE_MANUAL:
      ImpostaLblManuale(works);
      break;
    case UI_STATE_MEMORY:
      LblMenuAntenna(works);
      break;
    case UI_STATE_SAVE_TUNE:
      LabelSAVEATU(works);
      break;
    case UI_STATE_COPY:
      LblCOPY(works);
      break;
    case UI_STATE_RESET:
      LblRESET(works);
      break;
    default:
      break;
  }
}

void SetAttenuatorLabel(Works *works) {
  int att = works->link.attDisplay;
  if (att == ATT_STAND_BY)
    SetCaption(works, UI_STATE_MAIN, 2, 2, "  %s", AttVectStr[att]);
  else if (att >= 0 && att < ATT_STAND_BY)
    SetCaption(works, UI_STATE_MAIN, 2, 2, "  %sdB", AttVectStr[att]);
}

void SetModeWorkLabel(Works *works) {
  SetCaption(works, UI_STATE_MAIN, 1, 2, "BANK%i", int(works->cfg.NumBanco));
}

void LblCOPY(Works *works) {
  SetCaption(works, UI_STATE_COPY, 2, 2, "    %i", int(works->ui.copySource));
  SetCaption(works, UI_STATE_COPY, 3, 2, "    %i", int(works->ui.copyDest));
}

void LblRESET(Works *works) {
  int bank = works->ui.resetBank;
  if (bank == works->cfg.MAXbank)
    SetCaption(works, UI_STATE_RESET, 2, 2, "  ALL");
  else
    SetCaption(works, UI_STATE_RESET, 2, 2, "    %i", bank);
}

void LabelSAVEATU(Works *works) {
  SetCaption(works, UI_STATE_SAVE_TUNE, 2, 2, "   %i", int(works->ui.saveBank));
  SetCaption(works, UI_STATE_SAVE_TUNE, 3, 2, "     %i", int(works->ui.saveAntenna) + 1);
}

void ImpostaLblManuale(Works *works) {
  TunerState &t = works->tuner;
  SetCaption(works, UI_STATE_MANUAL, 3, 2, "     %u", unsigned(t.valL));
  SetCaption(works, UI_STATE_MANUAL, 5, 2, "     %u", unsigned(t.valC));
  int mode = t.modoTune;
  SetCaption(works, UI_STATE_MANUAL, 1, 2, "%s",
             mode == TUNE_MODE_B   ? "CL"
             : mode == TUNE_MODE_A ? "LC"
                                   : "ByP");
}

void LabelByPassATU(Works *works) {
  SetCaption(works, UI_STATE_TUNE, 4, 2, works->link.atuBypass == 1 ? "   Bpy" : "   On");
}

void LblMenuAntenna(Works *works) {
  char label[8];
  GetLblInterface(works->tuner.modeWorkIdx, label);
  SetCaption(works, UI_STATE_MEMORY, 2, 2, "%s", label);
}

void LabelByPassKora(Works *works, const char *text) {
  if (works->ui.uiState == UI_STATE_TUNE) SetCaption(works, UI_STATE_TUNE, 4, 2, "%s", text);
}

void LabelAutoAntenna(Works *works, int antenna) {
  if (works->ui.uiState == UI_STATE_MAIN)
    SetCaption(works, UI_STATE_MAIN, 3, 2, "Auto %d", antenna);
}

void LabelTestTransmission(Works *works, bool running) {
  SetCaption(works, UI_STATE_MANUAL, 6, 1, "%s", running ? "StopTX" : "StartTX");
}

void GetLblInterface(int interface, char *text) {
  snprintf(text, sizeof MODEwork[0], "%s",
           interface >= 0 && interface <= 2 ? MODEwork[interface] : "");
}
