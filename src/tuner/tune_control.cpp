#include "tuner/tune_control.h"

#include <mutex>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/tune_lock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tuner/auto_tune.h"
#include "tuner/banks.h"
#include "tuner/tune_memory.h"
#include "tuner/tune_word.h"
#include "ui/captions.h"

const char MODEwork[3][8] = {"Generic", "KRVTAVO", " FT-817"};

namespace {
constexpr uint8_t TUNE_KEY_DISABLED = 0x80;
constexpr uint8_t STATUS_A_AN = 0x01;

void Queue(Works *works, int32_t cmd) { IncPNTIn_CMDLinear(cmd, works); }

void ApplyAntenna(Works *works, const AntennaRow &row) {
  // Outputs beyond the third do not exist: such a row leaves the antenna.
  if (row.Ant == 0 || row.Ant > TUNE_ANTENNAS) return;
  if (row.Ant == works->tuner.antennaIdx + 1) return;
  works->tuner.antennaIdx = row.Ant - 1;
  LabelAutoAntenna(works, row.Ant);
  Queue(works, CMD_SA);
}

void ApplyAmplifier(Works *works, const AntennaRow &row) {
  LinkState &l = works->link;
  if (row.AmpEnable == 0) {
    if (l.ampBypass == 1) return;
    LabelByPassKora(works, "On");
    Queue(works, CMD_AB1);
    return;
  }
  if (l.ampBypass == 1) {
    LabelByPassKora(works, "Off");
    Queue(works, CMD_AB0);
  }
  if (row.Att >= ATT_STEPS) return;  // not a step of the attenuator: left as it is
  l.attDisplay = row.Att;
  if (works->cfg.Attenuator != row.Att) {
    works->cfg.Attenuator = row.Att;
    Queue(works, CMD_AT);
  }
}

// Links are started from the key dispatch and from the timer (information
// page): one start at a time, so that a handle is never joined twice.
std::mutex linkStartMutex;

// Run flag of a transceiver link set, with its thread started when it was
// stopped. A thread stopped earlier is collected first, while its flag still
// tells it to end, so that it cannot read the new '1' and stay.
void RunLink(char &flag, std::thread &handle, void (*start)(Works *), Works *works) {
  std::lock_guard<std::mutex> lock(linkStartMutex);
  if (ReadSetupFlag(flag) != '0') return;
  if (handle.joinable()) handle.join();
  WriteSetupFlag(flag, '1');
  start(works);
}

void StopExtIo(Works *works) {
  char &flag = works->cfg.setup->extIoRun;
  if (ReadSetupFlag(flag) != '1') return;
  WriteSetupFlag(flag, '0');
  DeleteErrore(works, ERR_TAVO_EXTIO);
}

void StopCatSerial(Works *works) {
  char &flag = works->cfg.setup->catSerialRun;
  if (ReadSetupFlag(flag) == '1') WriteSetupFlag(flag, '0');
}

void ManualTune(Works *works, std::atomic<int32_t> &value, void (*set)(Works *, int), int delta) {
  WaitSemaforoTuneval(works);
  int v = value + delta;
  if (v >= 0 && v <= TUNE_LC_MAX) {
    value = v;
    set(works, v);
    // A held key steps faster than the link sends: one word waiting is enough.
    QueueCmdLinearOnce(CMD_MT_SET, works);
  }
  StopSemaforoTuneval(works);
}

void TuneKey(Works *works, uint8_t fine) {
  if (works->link.atuBypass == 1) {
    LogErr(fine ? "xxxxx FINE AUTO TUNE_ByPass %x\n" : "xxxxx COMPLETE AUTO TUNE_ByPass %x\n",
           unsigned(works->link.atuBypass));
    return;
  }
  works->tuner.fineTune = fine;
  GoTune(works);
}
}  // namespace

void GestioneAntennaAutomatica(Works *works) {
  TunerState &t = works->tuner;
  t.idxRowAntenna = 100;
  AntennaRow row;
  int i = AntennaRowOf(works, works->link.currentFreq, row);
  if (i < 0) return;
  t.idxRowAntenna = i;
  ApplyAntenna(works, row);
  if (row.Atu == 1) {
    Queue(works, CMD_MT_BYPASS);
    LogErr("TABLE CONFIG : BYPASS %i (%i)\n", row.Atu, i);
  } else {
    GestioneLoadTuneVal(works);
  }
  ApplyAmplifier(works, row);
  SetAttenuatorLabel(works);
}

void GestioneLoadTuneVal(Works *works) {
  TunerState &t = works->tuner;
  if (t.tuneStatus != 0) return;
  int32_t segStart, segEnd;
  int firstIdx, endIdx;
  int idx = AtuIdxSearch(works->link.currentFreq, segStart, segEnd, firstIdx, endIdx);
  bool stored = EsisteTuneValInTabRam(works, idx, firstIdx, endIdx, t.antennaIdx) == 0;
  Queue(works, stored ? CMD_MT_LOAD : CMD_MT_CLEAR);
}

void GoTune(Works *works) {
  TunerState &t = works->tuner;
  std::atomic<uint8_t> &mode = works->cfg.AutoTuneMode;
  if (works->cfg.TUNEenabled & TUNE_KEY_DISABLED) return;
  std::lock_guard<std::recursive_mutex> lock(t.tuneMutex);
  if (t.tuneStatus != 0) {
    LogErr("esc tune TUNEMENU\n");
    EscAutoTune(works, 0);
    return;
  }
  LogErr("c-START TUNE (%x)!!\n", unsigned(mode));
  if (!(mode & 0x01) || (mode & 0x08)) return;
  StartAutotune(works);
  LogErr("b-START TUNE %i!!\n", int(t.statoTune));
  // A search that did not start (the tuner is bypassed) asks for no carrier.
  if (t.tuneStatus == 0) return;
  if (t.modeWorkIdx == 1) {
    mode = (mode & ~0x40) | 0x10;  // the tune request of the timer's handshake
    LogErr("a-START TUNE!!\n");
  }
}

void StartAutotune(Works *works) {
  TunerState &t = works->tuner;
  LinkState &l = works->link;
  std::lock_guard<std::recursive_mutex> lock(t.tuneMutex);
  if (l.atuBypass == 1) return;
  if (t.fineTune == 1) {
    LogErr("TUNE FINE------------!!!!!!!!!!!!!!!!!!!!!!!!!!\n ");
    t.statoTune = TUNE_FINE_FIRST;
  } else {
    char tipo = works->cfg.setup->AutoTuneTipo;
    LogErr("TUNE COMPLETE------------ TIPO: %c !!!!!!!!!!!!!!!!!!!!!!!!!!\n ", tipo);
    t.statoTune = tipo == '0' ? TUNE_COMPLETE_FIRST : TUNE_FAST_FIRST;
  }
  Queue(works, CMD_MP1);
  Queue(works, CMD_AT_TUNE);
  works->cfg.sogliaTS[0] = 4095;  // the input-power protection opened fully for the tune
  Queue(works, CMD_TS);
  l.atuBypass = 0;
  Queue(works, CMD_CP);
  Queue(works, CMD_MP0);
  l.cmdPriority = 1;
  t.tuneStatus = 1;
  if (l.statusA & STATUS_A_AN) {
    l.anValue = 0;
    Queue(works, CMD_AN);
  }
  LogErr("--------- START AUTO TUNE (%x) %i\n", unsigned(works->cfg.AutoTuneMode),
         int(t.tuneStatus));
}

void SetModeWorkIDX(Works *works) {
  SetupRecord &s = *works->cfg.setup;
  switch (works->tuner.modeWorkIdx) {
    case 1:
      StartExtIoLink(works);
      StopCatSerial(works);
      break;
    case 2:
      RunLink(s.catSerialRun, thrCatSer, StartThreadCATserial, works);
      StopExtIo(works);
      break;
    case 0:
      StopExtIo(works);
      StopCatSerial(works);
      break;
    default:
      break;
  }
  Queue(works, CMD_GS_SET);
}

void StartExtIoLink(Works *works) {
  RunLink(works->cfg.setup->extIoRun, thrSer, StartThreadTAVO, works);
}

void ManualTuneL(Works *works, int delta) { ManualTune(works, works->tuner.valL, SetI, delta); }

void ManualTuneC(Works *works, int delta) { ManualTune(works, works->tuner.valC, SetC, delta); }

void ManualTuneNetwork(Works *works) {
  TunerState &t = works->tuner;
  if (t.tuneStatus != 0) return;
  WaitSemaforoTuneval(works);
  int m = t.modoTune;
  SetMode(works, m > 2 ? TUNE_MODE_B : m + 1);
  QueueCmdLinearOnce(CMD_MT_SET, works);
  StopSemaforoTuneval(works);
}

void ManualTuneBypass(Works *works) {
  LinkState &l = works->link;
  if (l.atuBypass == 1) {
    l.atuBypass = 0;
    GestioneLoadTuneVal(works);
  } else {
    l.atuBypass = 1;
    Queue(works, CMD_MT_BYPASS);
  }
  SaveToBank(works, works->cfg.NumBanco, works->tuner.antennaIdx);
}

void CompleteTuneKey(Works *works) { TuneKey(works, 0); }

void FineTuneKey(Works *works) { TuneKey(works, 1); }

bool TestTransmissionRunning(Works *works) { return works->tuner.autoAntFlags & TEST_TX_ON; }

void StartTestTransmission(Works *works) {
  std::atomic<uint8_t> &flags = works->tuner.autoAntFlags;
  if (works->link.statusA & STATUS_A_AN) {
    works->link.anValue = 0;
    Queue(works, CMD_AN);
    flags.fetch_or(ANT_ANSWER_WAIT);
  }
  flags.fetch_or(TEST_TX_REQUEST | TEST_TX_ON);
}

void StopTestTransmission(Works *works) {
  std::atomic<uint8_t> &flags = works->tuner.autoAntFlags;
  flags.fetch_and(uint8_t(~(TEST_TX_ON | ANT_ANSWER_WAIT | ANT_ANSWER_DONE)));
  flags.fetch_or(TEST_TX_REQUEST);
}
