#include "core/startup.h"

#include <signal.h>

#include <cstring>
#include <memory>

#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "display/screen.h"
#include "display/text.h"
#include "input/panel_mailbox.h"
#include "network/lan_settings.h"
#include "remote/opus_setup.h"
#include "settings/calibration.h"
#include "settings/fan_table.h"
#include "settings/filters.h"
#include "settings/safe_write.h"
#include "settings/setup_record.h"
#include "transceiver/tavo_params.h"
#include "tuner/banks.h"
#include "ui/button_bar.h"
#include "ui/menu.h"
#include "ui/plot.h"

namespace {
constexpr uint8_t PANEL_START = 0xC5;

// Everything the record points to, kept for the whole run beside it.
struct CompanionRecords {
  SetupRecord setup{};
  TavoParamsRecord tavoParams{};
  std::mutex serMut;
  SpectrumRecord spectrum;
  float levels[SPECTRUM_POINTS]{};
  float work[SPECTRUM_POINTS]{};
};

void AttachCompanions(Works *works, CompanionRecords *records) {
  snprintf(works->core.version, sizeof works->core.version, "%s", KESTRA_VERSION);
  works->cfg.setup = &records->setup;
  works->trx.TavoParams = &records->tavoParams;
  works->trx.serMut = &records->serMut;
  works->trx.spectrum = &records->spectrum;
}

// Start-up pauses end early once the run flag drops, so that a stop during
// the start-up does not wait for the whole sequence.
bool Pause(Works *works, int64_t seconds) {
  return PauseWhileRunning(works, seconds * works->core.pauseSecondMs);
}

void LoadSettingsAndTables(Works *works) {
  RemoveInterruptedSaves();
  InitGlobalVar(works);
  CntIP = CntDNS = CntNetMask = CntGateway = 3;
  ReadConfigFile(works);
  InitMicroCmd(works);
  ReadVentolaFile(works);
  LoadTabFiltri(works);
  readSetup(works);
  InitGrid();
  LoadAllBankTable(works, works->cfg.NumBanco);
  works->core.forceFreq = -1;
  LogErr("ModeWorkIdx %i \n", int(works->tuner.modeWorkIdx));
  SpectrumRecord *spectrum = works->trx.spectrum;
  memset(spectrum->levels, 0, SPECTRUM_POINTS * sizeof(float));
  memset(spectrum->work, 0, SPECTRUM_POINTS * sizeof(float));
  ReadLanParam();
}

// Steps from the front panel to the running timer; false when the run flag
// dropped on the way.
bool StartUnit(Works *works) {
  StartThreadGPIO(works);
  if (!Pause(works, 1)) return false;
  PostPanelCmd(works, PANEL_START);
  StartThreadLinear(works);
  if (!Pause(works, 1)) return false;
  waitTAVO = 10;
  works->core.lastActivity = WallSeconds();
  ShowBackground(works, StartImageName(works));
  startInitThread = 1;
  StartThreadLoad(works);
  bool running = Pause(works, waitTAVO + 1);
  startInitThread = 0;
  if (!running) return false;
  StartThreadLANinfo(works);
  StartThreadAggFW(works);
  ShowBackground(works, "statusB");
  works->core.redraw = 1;  // the timer's first pass puts up the main screen
  InitMenuKora(works);
  TavoParamsRecord params{};
  LoadButtons(works, params);
  getParameters(&params, works);
  works->link.currentFreq = static_cast<uint32_t>(params.word[tavo::freq]);
  SetupOpus(works);
  StartThreadKeyb(works);
  StartThreadSoket(works);
  StartThreadTAVO(works);
  SetupRecord &s = *works->cfg.setup;
  if (s.EnableWrite == '1' || s.EnableRead == '1' || s.EnableCAT == '1' || s.EnableFFT == '1') {
    ExitThreadRemote(works);
    if (!Pause(works, 2)) return false;
    StartThreadCommRemote(works);
    if (!Pause(works, 2)) return false;
    works->core.remoteActive = 1;
  }
  StartThreadCATserial(works);
  StartThreadTimer(works);
  return true;
}

void ShutDown(Works *works) {
  LogErr("Close..\n");
  ShowBackground(works, "start");
  ShowText(works, 9, 330, 400, "Error! Close Program! Restart hw.", 255, 255, 255);
  SleepMillis(2 * works->core.pauseSecondMs);
  LogSys(LOG_PRIO_INFO, "Communicator operations end");
  JoinThreads(works);
  ReleaseOpus(works);
  LogErr("Closed!\n");
}
}  // namespace

const char *StartImageName(Works *works) {
  return works->link.ampConfig[1] == '1' ? "start120" : "start";
}

int KestraMain(const KestraHooks &hooks) {
  // A peer that leaves while a frame is written to it must not end the unit.
  signal(SIGPIPE, SIG_IGN);
  LogErr("START Main ----------------------------------------------------------------\n");
  LogErr("KESTRA version %s\n", KESTRA_VERSION);
  LogSys(LOG_PRIO_INFO, "KESTRA version %s", KESTRA_VERSION);
  std::unique_ptr<FrameBuffer> fb = fbInit();

  auto works = std::make_unique<Works>();
  works->display.fb = fb.get();
  auto records = std::make_unique<CompanionRecords>();
  records->spectrum.levels = records->levels;
  records->spectrum.work = records->work;
  AttachCompanions(works.get(), records.get());
  // The descriptors are needed as soon as the link can raise an error.
  InitErrDescr(works.get());
  LoadSettingsAndTables(works.get());
  if (hooks.quickStart) works->core.pauseSecondMs = QUICK_START_SECOND_MS;
  LoadFontSlots();
  if (hooks.started) hooks.started(works.get());

  if (StartUnit(works.get())) {
    if (hooks.up) hooks.up(works.get());
    while (works->core.running) SleepSeconds(1);
  }
  ShutDown(works.get());
  if (hooks.stopped) hooks.stopped(works.get());
  return works->core.exitStatus;
}
