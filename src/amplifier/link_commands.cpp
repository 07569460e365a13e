// The command table of the link: what each command state sends, with the
// values taken from the record at the moment of sending.
#include <cstdio>
#include <cstring>

#include "amplifier/commands.h"
#include "amplifier/framing.h"
#include "amplifier/link.h"
#include "amplifier/link_internal.h"
#include "amplifier/tune_lock.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/serial_port.h"
#include "tuner/tune_memory.h"
#include "ui/screen_state.h"

namespace {
constexpr uint32_t TUNE_BIT_BYPASS = 1u << 16;
constexpr uint32_t TUNE_BIT_A = 1u << 18;
constexpr uint32_t TUNE_BIT_B = 1u << 23;
constexpr uint8_t ATT_STAND_BY = 4;
constexpr int ATT_BOTH_PADS = 3;
constexpr int COMMAND_TEXT = 48;

struct Command {
  char letters[3];
  char text[COMMAND_TEXT];
};

template <typename... Args>
Command Format(const char *letters, const char *format, Args... args) {
  Command c{};
  snprintf(c.letters, sizeof c.letters, "%s", letters);
  snprintf(c.text, sizeof c.text, format, args...);
  return c;
}

Command Fixed(const char *letters, const char *text) { return Format(letters, "%s", text); }

// Sends the command and moves to `next` (normally: wait for the reply). A
// write the port does not take is a failed exchange.
void Send(Works *works, int32_t state, const Command &c, int32_t next = CMD_WAIT_REPLY) {
  LastCmdSent(works, c.letters[0], c.letters[1], state);
  LinkState &l = works->link;
  if (writeLinearPort(l.linFD, c.text, strlen(c.text), works))
    l.linearProcessStatus = next;
  else
    LinearExchangeFailed(works);
}

Command AttenuatorCommand(int value) {
  static const char *const TEXT[] = {"AT00;", "AT01;", "AT10;", "AT11;"};
  // A setting outside the four steps leaves both pads off.
  return Fixed("AT", TEXT[(value >= 0 && value <= ATT_BOTH_PADS) ? value : 0]);
}

// The generic settings with bit 1 of their second character telling whether
// the frequency comes from the amplifier's own counter.
Command GenericSettingsCommand(Works *works) {
  char settings[GENERIC_SETTINGS_LEN + 1];
  {
    std::lock_guard<std::mutex> lock(works->link.textMutex);
    memcpy(settings, works->link.genericSettings, sizeof settings);
  }
  if (settings[0] && settings[1]) {
    if (works->tuner.modeWorkIdx != 0)
      settings[1] = char(settings[1] & ~2);
    else
      settings[1] = char(settings[1] | 2);
  }
  return Format("GS", "GS%s;", settings);
}

// The text of every command that is sent as it is formatted; false for the
// states that are no such command.
bool PlainCommand(Works *works, int32_t state, Command &c) {
  SettingsState &s = works->cfg;
  LinkState &l = works->link;
  switch (state) {
    case CMD_VS:
      c = Fixed("VS", "VSM;");
      return true;
    case CMD_ST:
      c = Fixed("ST", "ST;");
      return true;
    case CMD_TU1:
      c = Fixed("TU", "TU1;");
      return true;
    case CMD_TU0:
      c = Fixed("TU", "TU0;");
      return true;
    case CMD_TU:
      c = Fixed("TU", "TU;");
      return true;
    case CMD_SA:
      c = Format("SA", "SA%d;", int(works->tuner.antennaIdx) + 1);
      return true;
    case CMD_FM:
      c = Fixed("FM", "FM;");
      return true;
    case CMD_FA:
      c = Format("FA", "FA%011lu;", (unsigned long)l.currentFreq);
      return true;
    case CMD_MT_QUERY:
      c = Fixed("MT", "MT;");
      return true;
    case CMD_FS:
      c = Format("SF", "FS%01d%04d;", int(s.FreqSensIn), int(s.FreqPeriodTime) / 10);
      return true;
    case CMD_CP:
      c = Fixed("CP", "CPFFFF;");
      return true;
    case CMD_MP0:
      c = Fixed("MP", "MP0;");
      return true;
    case CMD_MP1:
      c = Fixed("MP", "MP1;");
      return true;
    case CMD_AB0:
      c = Fixed("AB", "AB0;");
      return true;
    case CMD_AB1:
      c = Fixed("AB", "AB1;");
      return true;
    case CMD_AN:
      c = Format("AN", "AN%d;", int(l.anValue));
      return true;
    case CMD_TS:
      c = Format("TS", "TS%04d%04d%04d%04d;", int(s.sogliaTS[0]), int(s.sogliaTS[1]),
                 int(s.sogliaTS[2]), int(s.sogliaTS[3]));
      return true;
    case CMD_FN:
      c = Format("FN", "FN1%03d;", int(works->thermal.fanLevel));
      return true;
    case CMD_PS:
      c = Format("PS", "PS%04d%04d%04d%04d;", int(s.PSpar1), int(s.PSpar2), int(s.PSpar3),
                 int(s.PSpar4));
      return true;
    case CMD_SF_QUERY:
      c = Fixed("SF", "SF;");
      return true;
    case CMD_SF_SET:
      c = Format("SF", "SF30000%02x;", unsigned(s.filterMask));
      return true;
    case CMD_SE:
      c = Fixed("SE", "SE11234;");
      return true;
    case CMD_MR0:
      c = Fixed("MR", "MR0;");
      return true;
    case CMD_GM:
      c = Format("GM", "GM%04d%04d;", int(s.GMpar1), int(s.GMpar2));
      return true;
    case CMD_GS_QUERY:
      c = Fixed("GS", "GS;");
      return true;
    case CMD_GS_SET:
      c = GenericSettingsCommand(works);
      return true;
    case CMD_ER0:
      c = Fixed("ER", "ER0000;");
      return true;
    case CMD_ER1:
      c = Fixed("ER", "ER0001;");
      return true;
    case CMD_ER2:
      c = Fixed("ER", "ER0002;");
      return true;
    case CMD_FN_CPU:
      c = Format("FN", "FN1%03d;", int(works->thermal.cpuFanLevel));
      return true;
    default:
      return false;
  }
}

// What sending a plain command changes in the record.
void AfterSending(Works *works, int32_t state) {
  LinkState &l = works->link;
  switch (state) {
    case CMD_AB0:
      l.bypassCmd = 0;
      break;
    case CMD_AB1:
      l.bypassCmd = 1;
      l.attDisplay = ATT_STAND_BY;
      break;
    case CMD_FN:
      l.fanLevelSent = int32_t(works->thermal.fanLevel);
      works->thermal.fanPending = 0;
      break;
    case CMD_FN_CPU:
      l.fanLevelSent = int32_t(works->thermal.cpuFanLevel);
      break;
    default:
      break;
  }
}

// The prefix of a plain command's diagnostic line, if it has one.
const char *EchoPrefix(int32_t state) {
  switch (state) {
    case CMD_AB0:
    case CMD_AB1:
    case CMD_AN:
    case CMD_FN:
    case CMD_PS:
    case CMD_SF_SET:
    case CMD_GM:
      return ">> ";
    case CMD_GS_QUERY:
      return ">>r: ";
    case CMD_FN_CPU:
      return ">>CPU ";
    default:
      return nullptr;
  }
}

// Sends the tuner word after `change`, under the tune value lock.
template <typename Change>
void SendTuneWord(Works *works, int32_t state, Change change) {
  WaitSemaforoTuneval(works);
  change(works->tuner, works->link);
  Send(works, state, Format("MT", "MT1%08X;", unsigned(works->tuner.tuneVal)));
  StopSemaforoTuneval(works);
}

// The commands that set the tuner word; false for any other state.
bool TuneWordCommand(Works *works, int32_t state) {
  switch (state) {
    case CMD_MT_SET:
      SendTuneWord(works, state, [](TunerState &tuner, LinkState &link) {
        link.atuBypass = (tuner.tuneVal & TUNE_BIT_BYPASS) ? 1 : 0;
      });
      return true;
    case CMD_MT_LOAD:
      SendTuneWord(works, state, [works](TunerState &tuner, LinkState &link) {
        LoadTuneFromMEM(works, tuner.antennaIdx);
        link.atuBypass = 0;
      });
      return true;
    case CMD_MT_BYPASS:
      SendTuneWord(works, state, [](TunerState &tuner, LinkState &link) {
        link.atuBypass = 1;
        tuner.tuneVal = (tuner.tuneVal | TUNE_BIT_BYPASS) & ~(TUNE_BIT_A | TUNE_BIT_B);
      });
      return true;
    case CMD_MT_CLEAR:
      SendTuneWord(works, state, [](TunerState &tuner, LinkState &link) {
        link.atuBypass = 0;
        tuner.tuneVal = TUNE_BIT_B;
        tuner.valL = 0;
        tuner.valC = 0;
      });
      return true;
    default:
      return false;
  }
}
}  // namespace

bool writeLinearPort(int fd, const char *text, size_t length, Works *works) {
  char crc[3];
  snprintf(crc, sizeof crc, "%02x", Sys_Crc8Calculation(text, length));
  bool ok = fd >= 0 && SerialWriteAll(fd, crc, 2) && SerialWriteAll(fd, text, length);
  works->link.lastWriteMicros = MonotonicMicros();
  return ok;
}

void LastCmdSent(Works *works, char letter1, char letter2, int32_t state) {
  works->link.lastCmdLetters[0] = letter1;
  works->link.lastCmdLetters[1] = letter2;
  works->link.lastCmdState = state;
}

void SetAttenuatorCMD(Works *works, int value, int32_t state) {
  Command c = AttenuatorCommand(value);
  Send(works, state, c);
  LogErr(">> %s\n", c.text);
}

bool SendCmdLinear(Works *works, int32_t state) {
  Command c{};
  if (PlainCommand(works, state, c)) {
    Send(works, state, c);
    AfterSending(works, state);
    if (const char *prefix = EchoPrefix(state)) LogErr("%s%s\n", prefix, c.text);
    return true;
  }
  if (TuneWordCommand(works, state)) return true;
  switch (state) {
    case CMD_AT:
      SetAttenuatorCMD(works, works->cfg.Attenuator, state);
      return true;
    case CMD_AT_TUNE:
      SetAttenuatorCMD(works, works->cfg.AttenuatorTune, state);
      return true;
    case CMD_AT_FULL:
      SetAttenuatorCMD(works, ATT_BOTH_PADS, state);
      return true;
    case CMD_MR1:
      Send(works, state, Fixed("MR", "MR1;"), CMD_PARKED);
      works->input.ctrlFlags.fetch_or(CTRL_FW_UPDATE_MESSAGE);
      ReturnToMainScreen(works);  // where the update message shows
      return true;
    default:
      return false;
  }
}
