// The periodic heart of the unit: one pass every 40 ms plus its own work.
#include "core/timer.h"

#include <mutex>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/thermal.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "display/screen.h"
#include "remote/ws_send.h"
#include "settings/calibration.h"
#include "settings/filters.h"
#include "settings/temp_log.h"
#include "transceiver/tavo_params.h"
#include "tuner/auto_tune.h"
#include "tuner/tune_control.h"
#include "ui/conversions.h"
#include "ui/info_page.h"
#include "ui/main_screen.h"
#include "ui/meters.h"
#include "ui/screen_state.h"

const int SaveScreen[SAVE_SCREEN_CHOICES] = {5, 10, 20, 30, 60};

namespace {
constexpr int MODE_GENERIC = 0, MODE_TAVO = 1, MODE_FT817 = 2;
constexpr uint8_t TX_BIT = 0x01;  // statusB: the amplifier transmits

// AutoTuneMode bits of the tune handshake.
constexpr uint8_t AT_AUTO = 0x01, AT_STARTED = 0x02, AT_ENDING = 0x08, AT_REQUEST = 0x10,
                  AT_ASK_CARRIER = 0x20, AT_CARRIER_ASKED = 0x40;

bool Transmitting(Works *works) { return works->link.statusB & TX_BIT; }
bool AutoTuneBit(Works *works, uint8_t bit) { return works->cfg.AutoTuneMode & bit; }
void SetAutoTuneBits(Works *works, uint8_t bits) { works->cfg.AutoTuneMode.fetch_or(bits); }
void ClearAutoTuneBits(Works *works, uint8_t bits) {
  works->cfg.AutoTuneMode.fetch_and(static_cast<uint8_t>(~bits));
}

void ShowPortFailure(Works *works) {
  if (works->core.linkErrState > 0)
    DrawLinkError(works);
  else if (works->core.linkErrState == -1) {
    ReturnToMainScreen(works);
    works->core.linkErrState = 0;
  }
}

void CheckScreenSaver(Works *works) {
  if (works->core.screenSaverOn) return;
  int idx = works->cfg.SaveScreenIdx;
  if (idx < 0 || idx >= SAVE_SCREEN_CHOICES) idx = SAVE_SCREEN_CHOICES - 1;
  time_t idleMinutes = (WallSeconds() - works->core.lastActivity) / 60;
  if (idleMinutes < SaveScreen[idx]) return;
  works->core.screenSaverOn = 1;
  LoadBackground(works, "start");
  CopyBackground(works);
}

void CheckLanInfo(Works *works) {
  if (!works->core.lanInfoBusy && WallSeconds() - works->core.lanInfoTime >= 120)
    StartThreadLANinfo(works);
}

// The antenna value passed on to the amplifier is cleared where no
// companion transceiver sets it.
void ClearAnValue(Works *works) {
  if (works->link.anValue > 0) {
    works->link.anValue = 0;
    IncPNTIn_CMDLinear(CMD_AN, works);
  }
}

void TakeFrequency(Works *works, const TavoParamsRecord &params) {
  switch (works->tuner.modeWorkIdx) {
    case MODE_GENERIC:
      works->link.currentFreq = works->link.measuredFreq.load();
      ClearAnValue(works);
      break;
    case MODE_TAVO:
      if (!Transmitting(works))
        works->link.currentFreq = static_cast<uint32_t>(params.word[tavo::freq]);
      break;
    case MODE_FT817:
      ClearAnValue(works);
      works->link.currentFreq = static_cast<uint32_t>(works->trx.catFreq.load());
      break;
    default:
      break;
  }
}

// On a new frequency (or the force marker), and also when a bank load, reset
// or amplifier restart has cleared the row last applied: filter, thresholds
// and the automatic selection; "FA" only for a new frequency.
void ApplyFrequencyChange(Works *works) {
  uint32_t freq = works->link.currentFreq;
  bool changed = freq != works->core.lastFreq || works->core.forceFreq == -1;
  if (!changed && works->tuner.idxRowAntenna != -1) return;
  if (changed && works->tuner.modeWorkIdx != MODE_GENERIC) IncPNTIn_CMDLinear(CMD_FA, works);
  SetFilterFromfreq(works);
  SearchCambioSoglie_TS(works);
  GestioneAntennaAutomatica(works);
  works->core.lastFreq = freq;
  works->core.forceFreq = 0;
  if (changed) works->tuner.fineTune = 0;
}

// Ends the handshake once the transceiver has settled for ten passes.
void SettleHandshake(Works *works, TimerContext &hs, bool resetCounters) {
  if (hs.hsMark + 10 < hs.hsCount) {
    ClearAutoTuneBits(works, AT_STARTED | AT_REQUEST | AT_ENDING);
    if (resetCounters) hs.hsCount = hs.hsMark = 0;
  } else {
    if (hs.hsMark == 0) hs.hsMark = hs.hsCount;
    hs.hsCount++;
  }
}

void AwaitCarrier(Works *works, TimerContext &hs, bool transmitting) {
  if (!transmitting && !AutoTuneBit(works, AT_CARRIER_ASKED)) {
    if (CmdQueueEmpty(works)) {
      SetAutoTuneBits(works, AT_ASK_CARRIER);
      hs.hsCount = hs.hsMark = 0;
    }
  } else if (!transmitting) {
    if (hs.hsCount > 30) {
      EscAutoTune(works, 0);
      AddErrore(works, ERR_TUNE_TAVO_ABORTS);
      ClearAutoTuneBits(works, AT_REQUEST | AT_CARRIER_ASKED);
    } else {
      hs.hsCount++;
    }
  } else if (!AutoTuneBit(works, AT_CARRIER_ASKED)) {
    hs.hsCount = hs.hsMark = 0;
  }
}

void TuneHandshake(Works *works, TimerContext &hs, bool transmitting) {
  TunerState &t = works->tuner;
  if (transmitting && !AutoTuneBit(works, AT_STARTED) && !AutoTuneBit(works, AT_REQUEST)) {
    if (t.autoAntFlags == 0 && t.autoAntCountdown == 0 && works->trx.rxHoldoff == 0) {
      StartAutotune(works);
      // A refused start (the tuner bypassed) is tried again on the next
      // carrier: marked as started, no end would ever clear it.
      if (t.tuneStatus != 0) SetAutoTuneBits(works, AT_STARTED);
      hs.hsCount = hs.hsMark = 0;
    } else if (t.autoAntCountdown > 0) {
      t.autoAntCountdown--;
    }
  } else if (transmitting && AutoTuneBit(works, AT_ENDING)) {
    SettleHandshake(works, hs, false);
  } else if (!transmitting && AutoTuneBit(works, AT_ENDING)) {
    SettleHandshake(works, hs, true);
  } else if (AutoTuneBit(works, AT_REQUEST)) {
    AwaitCarrier(works, hs, transmitting);
  }
}

void FollowTransceiver(Works *works, const TavoParamsRecord &params, TimerContext &hs) {
  bool transmitting = params.word[tavo::b9bit6] == 1;
  // While the amplifier transmits the flag is held, but a transmission that
  // the amplifier was quicker to notice than this pass still sets it: else a
  // tune started by the operator's carrier would wait for it for ever.
  if (transmitting) works->core.tavoTx = 1;
  if (!Transmitting(works)) {
    works->core.tavoTx = transmitting ? 1 : 0;
    int32_t an = params.word[tavo::b11bit5];
    if (works->link.anValue != an && works->tuner.tuneStatus != 1 && !works->core.tavoTx &&
        !(works->tuner.autoAntFlags & (ANT_ANSWER_WAIT | ANT_ANSWER_DONE))) {
      works->link.anValue = an;
      IncPNTIn_CMDLinear(CMD_AN, works);
    }
  }
  if (AutoTuneBit(works, AT_AUTO)) TuneHandshake(works, hs, transmitting);
}

// What a pass reads before it composes the screen; each may wait (an outside
// program, a link being started), so none runs under the display lock.
void ReadPassInputs(Works *works) {
  ReadCPUTemp(works);
  ReadDataOra(works);
  KeepInfoPageLink(works);
}

void DrawPass(Works *works, const TavoParamsRecord &params) {
  if (works->core.redraw == 1) {
    LoadBackground(works, HighPowerVariant(works->link) ? "img1b" : "img1");
    works->core.redraw = 0;
  }
  ComposeMainScreen(works, params);
}

int32_t CountDown(std::atomic<int32_t> &value, int32_t by) {
  int32_t left = value - by;
  value = left > 0 ? left : 0;
  return value;
}

void CountDownHoldoffs(Works *works, int32_t elapsedMs) {
  if (works->link.commErrHoldoff > 0) CountDown(works->link.commErrHoldoff, elapsedMs);
  if (works->trx.extIoHoldoff > 0) CountDown(works->trx.extIoHoldoff, elapsedMs);
  if (works->trx.rxHoldoff > 0) CountDown(works->trx.rxHoldoff, 1);
}

void TemperatureLog(Works *works, int32_t elapsedMs) {
  if (works->cfg.EnableLOGTemp != 1 || !works->cfg.logTempRestarted) return;
  works->core.tempLogTimer += elapsedMs;
  if (works->core.tempLogTimer < 5000) return;
  LogTempFunction(works, 0);
  works->core.tempLogTimer = 0;
}
}  // namespace

void TimerPass(Works *works, TimerContext &ctx) {
  int64_t started = ProcessTimeMicros();
  int64_t startedWall = MonotonicMicros();
  TavoParamsRecord params{};
  {
    std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
    CopyBackground(works);
    ShowPortFailure(works);
    CheckScreenSaver(works);
  }
  CheckLanInfo(works);
  // The record every pass: the screens show it whatever the interface.
  getParameters(&params, works);
  TakeFrequency(works, params);
  ApplyFrequencyChange(works);
  if (works->tuner.modeWorkIdx == MODE_TAVO) FollowTransceiver(works, params, ctx);
  bool screenSaver = works->core.screenSaverOn;
  if (!screenSaver) ReadPassInputs(works);
  SendPeerStatus(works);
  {
    std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
    if (!screenSaver) DrawPass(works, params);
    ShowScreen(works);
  }
  SleepMicros(works->core.timerPeriod);
  int32_t elapsedMs = static_cast<int32_t>((ProcessTimeMicros() - started) / 1000);
  CountDownHoldoffs(works, elapsedMs);
  TemperatureLog(works, elapsedMs);
  // The peak hold is a time the operator sets: wall time, not processor time.
  DecayPeaks(works, static_cast<int>((MonotonicMicros() - startedWall) / 1000));
}

void timer(Works *works) {
  LogSys(LOG_PRIO_INFO, "Timer thread started");
  ClearPeakNeedles(works);
  TimerContext ctx;
  while (works->core.running) TimerPass(works, ctx);
  LogSys(LOG_PRIO_INFO, "Timer operations end\n");
}
