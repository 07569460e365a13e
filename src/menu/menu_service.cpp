#include "menu/menu_service.h"

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "input/panel_mailbox.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "remote/remote_service.h"
#include "settings/setup_record.h"
#include "transceiver/remote_check.h"
#include "tuner/banks.h"

namespace {
constexpr int ALL_BANKS = 20;
constexpr uint8_t PANEL_POWER_OFF = 0x85;

// Settings check: 1 receiver, 2 CAT port, 3 audio codec missing.
void ReportMissing(Works *works, int settings, int audioDevices, char extIo) {
  static const int ERROR_OF_SETTINGS[] = {-1, ERR_REMOTE_USB, ERR_REMOTE_CAT, ERR_AUDIO_READ};
  if (settings >= 1 && settings <= 3) AddErrore(works, ERROR_OF_SETTINGS[settings]);
  if (audioDevices == 0) AddErrore(works, ERR_AUDIO_NOT_FOUND);
  if (extIo != '1') AddErrore(works, ERR_TAVO_MODE);
}
}  // namespace

bool RemoteReady(Works *works) {
  SetupRecord &s = *works->cfg.setup;
  if (ReadSetupFlag(s.EnableFFT) == '1') return true;  // the remote threads already run
  int settings = Find_Remote_Settings(works);
  int audioDevices = VerifyAudioTAVO(works);
  char extIo = ReadSetupFlag(s.extIoRun);
  LogErr("j=%d i=%d enaser=%c\n", settings, audioDevices, extIo);
  if (settings == 0 && audioDevices > 0 && extIo == '1') {
    works->remote.remoteFault = 0;
    works->ui.uiMessage.fetch_and(uint8_t(~UI_MSG_REMOTE_NOT_STARTED));
    LogErr("Remote GO!\n");
    return true;
  }
  works->remote.remoteFault = 1;
  ReportMissing(works, settings, audioDevices, extIo);
  works->ui.uiMessage.fetch_or(UI_MSG_REMOTE_NOT_STARTED);
  LogErr("Remote ERROR!\n");
  return false;
}

void ApplyRemoteMode(Works *works) {
  if (!works->core.remoteActive) {
    ExitThreadRemote(works);
    return;
  }
  SetupRecord &s = *works->cfg.setup;
  if (ReadSetupFlag(s.WebSocket) == '0') {
    WriteSetupFlag(s.WebSocket, '1');
    StartThreadSoket(works);
  }
  StartThreadCommRemote(works);
}

// Only the settings are re-initialised: the rest of the record belongs to
// threads that keep running (the amplifier link above all).
void FactoryReset(Works *works) {
  if (!works->ui.factoryDefault) return;
  if (works->core.remoteActive) {
    ExitThreadRemote(works);
    works->core.remoteActive = 0;
  }
  for (int bank = 0; bank < ALL_BANKS; bank++) DeleteBankFiles(works, bank);
  ResetSetupDefaults(works);
  writeSetup(works);
  LoadAllBankTable(works, works->cfg.NumBanco);
  works->tuner.idxRowAntenna = -1;
  works->ui.factoryDefault = 0;
  LogErr("Factory default done\n");
}

void StartRemoteService(Works *works) {
  if (!(works->input.ctrlFlags & CTRL_REMOTE_SERVICE)) return;
  LogErr("Start REMOTE SRV\n");
  RemoteConnection();
}

void StartSoftwareUpdate(Works *works) {
  if (!(works->input.ctrlFlags & CTRL_UI_UPDATE_REQUEST)) return;
  works->ui.uiMessage.fetch_or(UI_MSG_UI_UPDATE);
  if (!works->core.softwareUpdate) return;
  LogErr("Start AGG UI...\n");
  RunShell(GetPaths().getPack);
}

void FirmwareUpdateEnter(Works *works) {
  if (works->input.ctrlFlags & CTRL_FW_UPDATE_REQUEST) {
    IncPNTIn_CMDLinear(CMD_MR1, works);
    LogErr("Start AGGFW\n");
  } else {
    works->input.ctrlFlags.fetch_and(uint8_t(~CTRL_FW_UPDATE_MESSAGE));
  }
}

void TurnOffHardware(Works *works) {
  if (works->ui.turnOffHardware) PostPanelCmd(works, PANEL_POWER_OFF);
}
