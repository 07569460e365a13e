// The keys of the tune screen and of the manual-tune screen.
#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "tuner/tune_control.h"
#include "ui/captions.h"
#include "ui/key_screens.h"
#include "ui/screen_state.h"

namespace {
constexpr int INTERFACE_GENERIC = 0;
constexpr int ATT_STAND_BY = 4;

void ClearBypassMessage(Works *works) {
  works->ui.uiMessage.fetch_and(uint8_t(~UI_MSG_BYPASS_NOT_SAVED));
}

// BACK: not while a tune runs.
void LeaveTuneScreen(Works *works) {
  works->tuner.fineTune = 0;
  ClearBypassMessage(works);
  if (works->tuner.tuneStatus != 0) return;
  works->ui.manualMode = 0;
  EnterState(works, UI_STATE_MAIN);
}

void TuneKey(Works *works, bool fine) {
  if (works->link.atuBypass != 1) ClearBypassMessage(works);
  if (fine)
    FineTuneKey(works);
  else
    CompleteTuneKey(works);
}

void AtuBypassKey(Works *works) {
  works->tuner.fineTune = 0;
  ClearBypassMessage(works);
  LogErr("xxxxx TUNE_ByPass %x\n", unsigned(works->link.atuBypass));
  ManualTuneBypass(works);
}

// The amplifier told its whole state again, as the unit sees it: in line or
// in standby as it is.
void ResendAmplifierState(Works *works) {
  for (int32_t cmd : {CMD_MP0, CMD_CP}) IncPNTIn_CMDLinear(cmd, works);
  if (works->tuner.modeWorkIdx != INTERFACE_GENERIC) IncPNTIn_CMDLinear(CMD_FA, works);
  IncPNTIn_CMDLinear(CMD_TS, works);
  IncPNTIn_CMDLinear(AmplifierInStandby(works) ? CMD_AB1 : CMD_AB0, works);
  for (int32_t cmd : {CMD_AN, CMD_SA, CMD_AT}) IncPNTIn_CMDLinear(cmd, works);
}

// MANUAL: the error reset while an error is pending (as its caption says);
// held, the amplifier's state resent; else the manual-tune screen, or the
// manual mode off when it is on.
void ManualKey(Works *works, const KeyPress &k) {
  works->tuner.fineTune = 0;
  if (VerifyError(works)) {
    GPIO_Errori(works);
    return;
  }
  ClearBypassMessage(works);
  if (k.Held()) {
    ResendAmplifierState(works);
  } else if (works->ui.manualMode) {
    works->ui.manualMode = 0;
  } else {
    works->ui.manualMode = 1;
    IncPNTIn_CMDLinear(CMD_MT_QUERY, works);
    ImpostaLblManuale(works);
    EnterState(works, UI_STATE_MANUAL);
  }
}

// BACK: the test transmission ends; the save screen offers the present bank
// and antenna.
void LeaveManualTune(Works *works) {
  StopTestTransmission(works);
  LabelTestTransmission(works, false);
  works->ui.saveBank = works->cfg.NumBanco.load();
  works->ui.saveAntenna = works->tuner.antennaIdx.load();
  EnterState(works, UI_STATE_SAVE_TUNE);
}

void NetworkKey(Works *works) {
  ManualTuneNetwork(works);
  ImpostaLblManuale(works);
}

void TestTransmissionKey(Works *works) {
  bool running = TestTransmissionRunning(works);
  if (running)
    StopTestTransmission(works);
  else
    StartTestTransmission(works);
  LabelTestTransmission(works, !running);
}
}  // namespace

bool AmplifierInStandby(Works *works) {
  LinkState &l = works->link;
  return l.ampBypass == 1 || l.bypassCmd == 1 || l.attDisplay == ATT_STAND_BY;
}

int TuneScreenKeys(Works *works, const KeyPress &k) {
  switch (k.key) {
    case 1:
      LeaveTuneScreen(works);
      break;
    case 2:
      TuneKey(works, true);
      break;
    case 3:
      TuneKey(works, false);
      break;
    case 4:
      AtuBypassKey(works);
      break;
    case 6:
      ManualKey(works, k);
      break;
    default:
      break;
  }
  return 0;
}

int ManualTuneKeys(Works *works, const KeyPress &k) {
  switch (k.key) {
    case 1:
      if (k.Held())
        NetworkKey(works);
      else
        LeaveManualTune(works);
      return 0;
    case 2:
      ManualTuneL(works, -1);
      return k.RepeatWhileHeld();
    case 3:
      ManualTuneL(works, +1);
      return k.RepeatWhileHeld();
    case 4:
      ManualTuneC(works, -1);
      return k.RepeatWhileHeld();
    case 5:
      ManualTuneC(works, +1);
      return k.RepeatWhileHeld();
    case 6:
      TestTransmissionKey(works);
      return 0;
    default:
      return 0;
  }
}
