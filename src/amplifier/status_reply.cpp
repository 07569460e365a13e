// The "ST" status reply, processed in its fixed order.
#include <cmath>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/link.h"
#include "amplifier/replies.h"
#include "amplifier/reply_text.h"
#include "amplifier/thermal.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/calibration.h"
#include "settings/temp_log.h"
#include "tuner/auto_tune.h"
#include "tuner/tune_word.h"
#include "ui/captions.h"

namespace {
// statusA
constexpr uint8_t A_PAD_3DB = 8, A_PAD_2DB = 4;
// statusB
constexpr uint8_t B_TX = 1, B_HI_SWR = 2, B_PROTECTION = 4, B_BYPASS = 8;
// statusC
constexpr uint8_t C_PROTECTIONS = 0x1F, C_PWR_IN = 0x20, C_BAND = 0x40, C_MICRO_RESET = 0x80;
// protState
constexpr uint8_t PROT_RESET_NEEDED = 1, PROT_DISPLAY_CLEARED = 2;
// micro-reset flags
constexpr uint8_t MICRO_RESET_SEEN = 1, MICRO_RESET_RAISED = 2;
constexpr uint8_t ATT_STAND_BY = 4;  // attenuator display state of a bypassed amplifier
// AutoTuneMode: a tune request or hand-shake in progress
constexpr uint8_t TUNE_HANDSHAKE_BITS = 0x1E;

constexpr float SWR_MAX = 100;
constexpr float FWD_MIN_W = 0.3f, REFL_ALONE_W = 0.5f;
constexpr float PEAK_LIMIT_W = 70, PEAK_LIMIT_HIGH_POWER_W = 130;

const char *const PROTECTION_TEXT[] = {"I OUT", "REFL", "FWD", "SENS PW", "FILTER TX"};

// Positions in the reply.
struct StatusFields {
  uint8_t a, b, c;
  uint32_t rawPwin, rawFwd, rawRefl, current, temp1, temp2, rawPeak;
};

StatusFields ReadFields(const ReplyText &r) {
  return {r.Hex(2),
          r.Hex(3),
          uint8_t(r.Hex(29) << 4 | r.Hex(28)),  // low nibble first
          uint32_t(r.Decimal(4, 4)),
          uint32_t(r.Decimal(8, 4)),
          uint32_t(r.Decimal(12, 4)),
          uint32_t(r.Decimal(16, 4)),
          uint32_t(r.Decimal(20, 4)),
          uint32_t(r.Decimal(24, 4)),
          uint32_t(r.Decimal(32, 4))};
}

void FinishErrorReset(Works *works) {
  if (works->errors.errResend != 2) return;
  GestErroreSerial(works);
  LogErr(">>> ERRORI: End Gest Errori!!\n");
  works->errors.errResend = 0;
}

void TrackBypass(Works *works, const ReplyText &r) {
  LinkState &l = works->link;
  bool bypassed = l.statusB & B_BYPASS;
  if (bypassed && !l.ampBypass && l.bypassCmd == 1) {
    LogErr("--------------- AMPL ERRORE : bypass on %s\n", r.text);
    l.ampBypass = 1;
  } else if (!bypassed && l.ampBypass && l.bypassCmd == 0) {
    LogErr("--------------- AMPL ERRORE : bypass off %s\n", r.text);
    l.ampBypass = 0;
  }
  // Without a working link the amplifier's own state is all there is.
  if (ExistError(works, ERR_COMM) && bool(l.ampBypass) != bypassed) {
    l.ampBypass = bypassed ? 1 : 0;
    LogErr(bypassed ? "STATE DA ERRORE : bypass on\n" : "STATE DA ERRORE : bypass off\n");
  }
}

void TrackAttenuator(Works *works) {
  static const char *const TEXT[] = {
      "STATE DA ERRORE : attenuatore 3dB=off 2dB=off\n",
      "STATE DA ERRORE : attenuatore 3dB=off 2dB=on\n",
      "STATE DA ERRORE : attenuatore 3dB=on 2dB=off\n",
      "STATE DA ERRORE : attenuatore 3dB=on 2dB=on\n",
  };
  LinkState &l = works->link;
  SettingsState &s = works->cfg;
  if (works->tuner.tuneStatus != 0 || l.attReported != s.Attenuator) return;
  uint8_t used = uint8_t(((l.statusA & A_PAD_3DB) ? 2 : 0) | ((l.statusA & A_PAD_2DB) ? 1 : 0));
  if (used == s.Attenuator) return;
  s.Attenuator = used;
  l.attDisplay = used;
  SetAttenuatorLabel(works);
  LogErr("%s", TEXT[used]);
}

// A restarted microcontroller is back at its power-on settings: no band
// filter, the first antenna, the amplifier bypassed, no pad, an empty tuner
// word (no network: the tuner bypassed). The unit's picture follows, so that
// it shows what the amplifier does and the reset of the error key sends
// everything again.
void TakePowerOnSettings(Works *works) {
  LinkState &l = works->link;
  works->cfg.filterMask = 0;
  works->cfg.Attenuator = 0;
  l.attReported = 0;
  works->tuner.antennaIdx = 0;
  works->tuner.tuneVal = 0;
  ReadTnePar(works);
  l.ampBypass = 1;
  l.attDisplay = ATT_STAND_BY;
}

void TrackMicroReset(Works *works) {
  std::atomic<uint8_t> &flags = works->link.microResetFlags;
  if (!(works->link.statusC & C_MICRO_RESET) || (flags & MICRO_RESET_SEEN) == 0 ||
      (flags & MICRO_RESET_RAISED))
    return;
  TakePowerOnSettings(works);
  AddErrore(works, ERR_MICRO_RESET);
  flags |= MICRO_RESET_RAISED;
  LogErr("Add Err RESET MICRO\n");
}

// The display was cleared after a reset and the amplifier reports no
// protection: the reset is complete.
void ReleaseProtectionIfCleared(Works *works) {
  if (works->errors.protState & PROT_DISPLAY_CLEARED)
    works->errors.protState &= uint8_t(~(PROT_RESET_NEEDED | PROT_DISPLAY_CLEARED));
}

void TrackProtections(Works *works) {
  uint8_t c = works->link.statusC;
  if (c & (C_PROTECTIONS | C_BAND)) {
    if (c & C_BAND) {
      AddErrore(works, ERR_BAND_WARN);
      return;
    }
    const char *text = nullptr;
    for (int bit = 0; bit < 5; bit++)
      if (c & (1 << bit)) text = PROTECTION_TEXT[bit];
    SetErrLine2(works, ERR_PROTECTION, text);
    AddErrore(works, ERR_PROTECTION);
    return;
  }
  DeleteErrore(works, ERR_PROTECTION);
  ReleaseProtectionIfCleared(works);
}

void TrackInputPower(Works *works) {
  if ((works->link.statusC & C_PWR_IN) && works->link.anValue == 1 &&
      works->tuner.tuneStatus == 0 && !(works->cfg.AutoTuneMode & TUNE_HANDSHAKE_BITS))
    AddErrore(works, ERR_PWR_IN);
}

void TrackHighSwr(Works *works) {
  uint8_t b = works->link.statusB;
  if (b & B_HI_SWR) {
    AddErrore(works, ERR_HI_SWR);
  } else {
    DeleteErrore(works, ERR_HI_SWR);
    ReleaseProtectionIfCleared(works);
  }
  if (!(b & B_PROTECTION)) ReleaseProtectionIfCleared(works);
}

// The first transmission after the log was armed starts a fresh file.
void RestartTempLog(Works *works) {
  SettingsState &s = works->cfg;
  if (s.EnableLOGTemp != 1 || !(works->link.statusB & B_TX) || s.logTempRestarted) return;
  LogErr("REMOVE file LOG \n");
  LogTempFunction(works, LOG_TEMP_DELETE);
  LogTempFunction(works, LOG_TEMP_LINE);
  s.logTempRestarted = 1;
}

void MeasurePowers(Works *works, const StatusFields &f) {
  LinkState &l = works->link;
  l.rawPwin = uint16_t(f.rawPwin);
  l.rawFwd = uint16_t(f.rawFwd);
  l.rawRefl = uint16_t(f.rawRefl);
  float in = SearchK(works, K_PWIN) * float(f.rawPwin * f.rawPwin);
  float fwd = SearchK(works, K_FWD) * float(f.rawFwd * f.rawFwd);
  float refl = SearchK(works, K_REFL) * float(f.rawRefl * f.rawRefl) + SearchK(works, K_CORR) * fwd;
  l.pwrIn = in;
  l.pwrFwd = fwd;
  l.pwrRefl = refl < 0 ? 0 : refl;
  l.swr = CalcSWR(l.pwrFwd, l.pwrRefl);
  l.currentRaw = float(f.current);
}

void SmoothTemperature(std::atomic<float> &stored, uint32_t count) {
  float t = CalcolaTemp(count);
  float old = stored;
  stored = old == 0 ? t : (old * 9 + t) / 10;
}

void MeasurePeak(Works *works, const StatusFields &f) {
  if (works->cfg.EnablePwrPeak != 1) return;
  float limit = works->link.ampConfig[1] == '1' ? PEAK_LIMIT_HIGH_POWER_W : PEAK_LIMIT_W;
  float peak = SearchK(works, K_FWD) * float(f.rawPeak * f.rawPeak);
  works->link.pwrInPeak = peak > limit ? limit : peak;
}

// Temperatures, the fan curve and the two alarms. A sensor whose count is
// out of the converter's range has failed: its alarm does not act on it and
// the fan keeps its level.
void RunThermal(Works *works, const StatusFields &f) {
  LinkState &l = works->link;
  bool ok1 = ThermistorCountValid(f.temp1), ok2 = ThermistorCountValid(f.temp2);
  if (ok1) SmoothTemperature(l.temp1, f.temp1);
  if (ok2) SmoothTemperature(l.temp2, f.temp2);
  MeasurePeak(works, f);
  if (ok1 && ok2) searchPercentVentola(works);
  if (ok1)
    GestTemperatureFunction(works, ERR_TEMP1_HIGH, ERR_TEMP1_ENDED, ERR_TEMP1_WARNING, l.temp1,
                            works->cfg.MaxTemperature);
  if (ok2)
    GestTemperatureFunction(works, ERR_TEMP2_HIGH, ERR_TEMP2_ENDED, ERR_TEMP2_WARNING, l.temp2,
                            works->cfg.MaxTemperature2);
}

void NextStateAfterStatus(Works *works) {
  LinkState &l = works->link;
  TunerState &t = works->tuner;
  int32_t cmd;
  switch (t.tuneStatus) {
    case 0:
      l.linearProcessStatus = TakeCmdLinear(works, cmd) ? cmd : int32_t(CMD_FM);
      break;
    case 1:
      TuneTask(works);
      l.linearProcessStatus = CMD_MT_SET;  // the step's new word
      break;
    case 2:
      l.linearProcessStatus = CMD_CP;
      t.tuneStatus = 1;
      break;
    case 3:
      l.linearProcessStatus = CMD_ST;
      t.tuneStatus = 1;
      break;
    default:
      l.linearProcessStatus = CMD_ST;
      break;
  }
  SleepMillis(PAUSE_AFTER_STATUS_MS);
}
}  // namespace

float CalcSWR(float fwd, float refl) {
  float swr = 0;
  if (fwd > FWD_MIN_W) {
    if (fwd < refl) {
      swr = SWR_MAX;
    } else {
      float rho = std::sqrt(refl / fwd);
      swr = rho == 1 ? SWR_MAX : (1 + rho) / (1 - rho);
    }
  } else if (refl > REFL_ALONE_W) {
    swr = SWR_MAX;
  }
  return swr > SWR_MAX ? SWR_MAX : swr;
}

void DecodeStatusReply(Works *works, const ReplyText &reply) {
  LinkState &l = works->link;
  FinishErrorReset(works);
  StatusFields f = ReadFields(reply);
  l.statusA = f.a;
  l.statusB = f.b;
  l.statusC = f.c;
  TrackBypass(works, reply);
  TrackAttenuator(works);
  TrackMicroReset(works);
  TrackProtections(works);
  TrackInputPower(works);
  TrackHighSwr(works);
  RestartTempLog(works);
  MeasurePowers(works, f);
  RunThermal(works, f);
  works->link.statusPolls++;
  NextStateAfterStatus(works);
}
