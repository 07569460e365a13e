#include "ui/status_area.h"

#include "core/works.h"
#include "display/frame_buffer.h"
#include "tuner/banks.h"
#include "tuner/tune_control.h"
#include "tuner/tune_word.h"
#include "ui/conversions.h"
#include "ui/main_screen.h"
#include "ui/menu.h"
#include "ui/supply_voltage.h"
#include "ui/ui_text.h"

const char AttVectStr[ATT_TEXTS][5] = {"0", "2", "3", "5", "StBy"};

namespace {
constexpr int SLOT = 8;
constexpr Colour CYAN{0, 200, 255}, GREEN{0, 200, 0}, RED{250, 0, 0};
constexpr int ROW1_TOP = 278, ROW1_BOTTOM = 303, ROW1_TEXT = 298;
constexpr int ROW2_TOP = 307, ROW2_BOTTOM = 332, ROW2_TEXT = 327;
constexpr uint8_t STATUS_A_COAX_RX = 0x01, STATUS_B_TX = 0x01;
constexpr uint32_t NOPA_LOW = 26000000, NOPA_HIGH = 28000000;
constexpr int ATT_STAND_BY = 4;
constexpr float MAX_STANDARD_PA_VOLTS = 20;

struct Box {
  int x0, x1, textX;
};
constexpr Box INTERFACE{1, 110, 10}, COAX{115, 260, 125}, BAND{265, 400, 275}, ATT{405, 520, 415},
    ANT{525, 600, 535}, ATU{605, 710, 615}, REMOTE{715, 799, 725};
constexpr Box TEMPERATURES{1, 400, 10}, SUPPLY{405, 799, 415};

void Outline(Works *works, const Box &b, int top, int bottom, Colour c) {
  DrawRect(works, b.x0, top, b.x1, bottom, c.r, c.g, c.b);
}

void DrawMessage(Works *works) {
  static const char *const MESSAGES[] = {
      "Entering second function...", "ATU ByPass not saved!",
      "Set to Local Mode: Remote not started. Verify connections"};
  uint8_t bits = works->ui.uiMessage;
  for (int i = 0; i < 3; i++) {
    if (!(bits & (1 << i))) continue;
    DrawText(works, SLOT, 5, 350, LIGHT, "%s", MESSAGES[i]);
    return;
  }
}

void DrawDebugLines(Works *works) {
  LinkState &l = works->link;
  uint32_t word = works->tuner.tuneVal;
  DrawText(works, SLOT, 5, 275, RED, "PW %04d FWD %04d REFL %04d SWR %03.02f (%X)", int(l.rawPwin),
           int(l.rawFwd), int(l.rawRefl), double(l.swr), unsigned(l.statusC));
  DrawText(works, SLOT, 500, 275, RED, "freq %lu L%i,C%i,%s", (unsigned long)l.currentFreq,
           DecodeInduttanzaFromTuneval(word), DecodeCapacitaFromTuneval(word),
           NetworkName(DecodeModoFromTuneval(word)));
}

void DrawBand(Works *works) {
  uint32_t f = works->link.currentFreq;
  AntennaRow row{};
  if (f >= NOPA_LOW && f <= NOPA_HIGH)
    DrawText(works, SLOT, BAND.textX, ROW1_TEXT, CYAN, "NOPA");
  else if (LastAntennaRowOf(works, f, row) >= 0)
    DrawText(works, SLOT, BAND.textX, ROW1_TEXT, CYAN, "Band:%.7s", row.Band);
  else
    DrawText(works, SLOT, BAND.textX, ROW1_TEXT, CYAN, "Band:---");
}

void DrawAttenuator(Works *works) {
  int att = works->link.attDisplay;
  if (att == ATT_STAND_BY)
    DrawText(works, SLOT, ATT.textX, ROW1_TEXT, CYAN, "Att %s", AttVectStr[att]);
  else if (att >= 0 && att < ATT_STAND_BY)
    DrawText(works, SLOT, ATT.textX, ROW1_TEXT, CYAN, "Att %sdB", AttVectStr[att]);
}

void DrawFirstRow(Works *works) {
  for (const Box &b : {INTERFACE, COAX, BAND, ATT, ANT, ATU, REMOTE})
    Outline(works, b, ROW1_TOP, ROW1_BOTTOM, {200, 200, 200});
  int mode = works->tuner.modeWorkIdx;
  DrawText(works, SLOT, INTERFACE.textX, ROW1_TEXT, CYAN, "%s",
           mode >= 0 && mode <= 2 ? MODEwork[mode] : "");
  bool coax = works->link.statusA & STATUS_A_COAX_RX;
  DrawText(works, SLOT, COAX.textX, ROW1_TEXT, CYAN, coax ? "Coax:RX+TX" : "  Coax:RTX");
  DrawBand(works);
  DrawAttenuator(works);
  DrawText(works, SLOT, ANT.textX, ROW1_TEXT, CYAN, "Ant %d", int(works->tuner.antennaIdx) + 1);
  DrawText(works, SLOT, ATU.textX, ROW1_TEXT, CYAN, works->link.atuBypass ? "Atu: Bpy" : "Atu: On");
  if (works->core.remoteActive)
    DrawText(works, SLOT, REMOTE.textX, ROW1_TEXT, works->remote.remoteFault ? RED : CYAN,
             "Remote");
  else
    DrawText(works, SLOT, REMOTE.textX, ROW1_TEXT, CYAN, "Local");
}

void DrawTemperatures(Works *works) {
  float t1 = works->link.temp1, t2 = works->link.temp2, cpu = works->thermal.cpuTemp1;
  if (works->cfg.TempMode == 1)
    DrawText(works, SLOT, TEMPERATURES.textX, ROW2_TEXT, GREEN,
             "PA1:%04.01f°F   P2:%04.01f°F    CPU:%04.01f°F",
             double(ConversionCelsius_to_Fahrenheit(t1)),
             double(ConversionCelsius_to_Fahrenheit(t2)),
             double(ConversionCelsius_to_Fahrenheit(cpu)));
  else
    DrawText(works, SLOT, TEMPERATURES.textX, ROW2_TEXT, GREEN,
             "PA1:%04.01f°C   P2:%04.01f°C    CPU:%04.01f°C", double(t1), double(t2), double(cpu));
}

void DrawSupply(Works *works) {
  float volts = CalvTensVadcAmp(works);
  double amps = PaCurrentAmps(works->link.currentRaw);
  if (!HighPowerVariant(works->link) && volts > MAX_STANDARD_PA_VOLTS)
    DrawText(works, SLOT, SUPPLY.textX, ROW2_TEXT, GREEN,
             "PA Voltage: -----       Current: %04.01fA", amps);
  else
    DrawText(works, SLOT, SUPPLY.textX, ROW2_TEXT, GREEN,
             "PA Voltage: %04.01fV       Current: %04.01fA", double(volts), amps);
}

void DrawSecondRow(Works *works) {
  for (const Box &b : {TEMPERATURES, SUPPLY})
    Outline(works, b, ROW2_TOP, ROW2_BOTTOM, {100, 100, 100});
  DrawTemperatures(works);
  DrawSupply(works);
}
}  // namespace

const char *NetworkName(int mode) {
  return mode == TUNE_MODE_B ? "CL" : mode == TUNE_MODE_A ? "LC" : "ByP";
}

void DrawParameters(Works *works) {
  if (works->core.linkErrState > 0 || !works->display.fb) return;
  uint8_t pages = works->ui.uiFlags;
  int state = works->ui.uiState;
  if (pages & UI_MEMORY_TABLE) return DrawMemoryTable(works);
  if (pages & UI_FILTER_TABLE) return DrawFilterTable(works);
  if (state == UI_STATE_MENU || state == UI_STATE_MENU_EDIT) return DrawMenuStrip(works);
  if (pages != 0) return;
  if (works->input.ctrlFlags & CTRL_FW_UPDATE_MESSAGE) {
    DrawText(works, SLOT, 10, 400, LIGHT,
             "FW UPDATE: please update firmware with FlashMagic and then reset hardware");
    return;
  }
  DrawMessage(works);
  if (works->cfg.EnableDebug == 1) DrawDebugLines(works);
  DrawFirstRow(works);
  DrawSecondRow(works);
}

void ViewStatusTX(Works *works) {
  FrameBuffer *fb = works->display.fb;
  if (!fb || MainWindowMode(works) > 3 || works->ui.uiFlags != 0) return;
  if (!(works->link.statusB & STATUS_B_TX)) return;
  FillBox(375, 175, 430, 210, 250, 0, 0, fb, 0);
  DrawText(works, SLOT, 390, 200, WHITE, "TX");
}
