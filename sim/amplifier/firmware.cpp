#include "sim/amplifier/firmware.h"

#include <cctype>
#include <cstdio>

#include "amplifier/framing.h"
#include "core/log.h"

namespace {
constexpr int CONFIG_PAGE_BYTES = 32;
// Page 0 holds the serial number and, after its terminating 0, the board's
// hardware revision.
constexpr const char SERIAL_NUMBER[] = "A6-0012345";
constexpr const char HARDWARE_REVISION[] = "REV B";
constexpr int GENERIC_SETTINGS_CHARS = 10;

// A decimal field of exactly `len` characters, a '-' allowed in front.
// Wide enough for the 11-digit frequency on a 32-bit target too.
bool Decimal(const std::string &s, size_t pos, size_t len, long long &value) {
  if (pos + len > s.size() || len == 0) return false;
  bool negative = s[pos] == '-';
  if (negative && len == 1) return false;
  long long v = 0;
  for (size_t i = pos + (negative ? 1 : 0); i < pos + len; i++) {
    if (!isdigit(static_cast<unsigned char>(s[i]))) return false;
    v = v * 10 + (s[i] - '0');
  }
  value = negative ? -v : v;
  return true;
}

bool Hex(const std::string &s, size_t pos, size_t len, unsigned long &value) {
  if (pos + len > s.size()) return false;
  unsigned long v = 0;
  for (size_t i = pos; i < pos + len; i++) {
    int d = charToInt(s[i]);
    if (d < 0) return false;
    v = v * 16 + d;
  }
  value = v;
  return true;
}

// One of the characters '0' and '1'.
bool Flag(const std::string &args, bool &value) {
  if (args != "0" && args != "1") return false;
  value = args == "1";
  return true;
}

std::string StatusReply(const AmpReadings &r) {
  return StrPrintf("ST%X%X%04d%04d%04d%04d%04d%04d%X%X00%04d;", r.statusA, r.statusB, r.countInput,
                   r.countForward, r.countReflected, r.countCurrent, r.countTemp[0], r.countTemp[1],
                   r.statusC & 0xF, r.statusC >> 4, r.countPeak);
}

std::string ConfigPage(int page, int powerClassW) {
  uint8_t bytes[CONFIG_PAGE_BYTES] = {};
  if (page == 0) {
    for (size_t i = 0; i + 1 < sizeof SERIAL_NUMBER; i++) bytes[i] = SERIAL_NUMBER[i];
    for (size_t i = 0; i + 1 < sizeof HARDWARE_REVISION; i++)
      bytes[sizeof SERIAL_NUMBER + i] = HARDWARE_REVISION[i];
  } else if (page == 2) {
    bytes[0] = '0';  // region
    bytes[1] = powerClassW == 120 ? '1' : '0';
  }
  std::string reply = StrPrintf("ER000%d", page);
  for (uint8_t b : bytes) reply += StrPrintf("%02X", b);
  return reply + ";";
}

using Handler = bool (*)(AmpModel &m, const std::string &args, std::string &reply);

bool DoVersion(AmpModel &, const std::string &args, std::string &reply) {
  if (args != "M") return false;
  reply = StrPrintf("VSM%s;", AMP_FIRMWARE_VERSION);
  return true;
}

bool DoStatus(AmpModel &m, const std::string &args, std::string &reply) {
  if (!args.empty()) return false;
  reply = StatusReply(m.Readings());
  return true;
}

bool DoTuneMode(AmpModel &m, const std::string &args, std::string &reply) {
  bool on = false;
  if (!args.empty() && !Flag(args, on)) return false;
  if (!args.empty()) m.Controls().tuneDigit = on;
  reply = StrPrintf("TU%d;", m.Controls().tuneDigit);
  return true;
}

bool DoAntenna(AmpModel &m, const std::string &args, std::string &reply) {
  long long n;
  if (!Decimal(args, 0, 1, n) || args.size() != 1 || n < 1 || n > 3) return false;
  m.Controls().antenna = int(n - 1);
  reply = StrPrintf("SA%lld;", n);
  return true;
}

bool DoFreqCounter(AmpModel &m, const std::string &args, std::string &reply) {
  if (!args.empty()) return false;
  reply = StrPrintf("FM%d%011u;", m.Controls().freqSensorInput, m.Readings().measuredFreqHz);
  return true;
}

bool DoFrequency(AmpModel &m, const std::string &args, std::string &reply) {
  long long f;
  if (args.size() != 11 || !Decimal(args, 0, 11, f) || f < 0 || f > (long long)UINT32_MAX)
    return false;
  m.Controls().controllerFreqHz = uint32_t(f);
  reply = "FA" + args + ";";
  return true;
}

bool DoTuneWord(AmpModel &m, const std::string &args, std::string &reply) {
  unsigned long word;
  if (!args.empty()) {
    if (args.size() != 9 || args[0] != '1' || !Hex(args, 1, 8, word)) return false;
    m.Controls().tuneWord = uint32_t(word);
  }
  reply = StrPrintf("MT1%08X;", m.Controls().tuneWord);
  return true;
}

bool DoFreqSensor(AmpModel &m, const std::string &args, std::string &reply) {
  long long input, period;
  if (args.size() != 5 || !Decimal(args, 0, 1, input) || !Decimal(args, 1, 4, period)) return false;
  m.Controls().freqSensorInput = int(input);
  m.Controls().freqPeriod = int(period);
  reply = "FS" + args + ";";
  return true;
}

bool DoClearProtections(AmpModel &m, const std::string &args, std::string &reply) {
  unsigned long mask;
  if (args.size() != 4 || !Hex(args, 0, 4, mask)) return false;
  m.ClearProtections();
  reply = "CP" + args + ";";
  return true;
}

bool DoAttenuator(AmpModel &m, const std::string &args, std::string &reply) {
  bool pad3 = false, pad2 = false;
  if (args.size() != 2 || !Flag(args.substr(0, 1), pad3) || !Flag(args.substr(1), pad2))
    return false;
  m.Controls().pads = (pad3 ? PAD_3DB : 0) | (pad2 ? PAD_2DB : 0);
  reply = "AT" + args + ";";
  return true;
}

bool DoProtectionMode(AmpModel &m, const std::string &args, std::string &reply) {
  if (!Flag(args, m.Controls().protectionMode)) return false;
  reply = "MP" + args + ";";
  return true;
}

bool DoBypass(AmpModel &m, const std::string &args, std::string &reply) {
  if (!Flag(args, m.Controls().bypass)) return false;
  reply = "AB" + args + ";";
  return true;
}

bool DoAn(AmpModel &m, const std::string &args, std::string &reply) {
  long long v;
  if (args.size() != 1 || !Decimal(args, 0, 1, v) || v < 0) return false;
  m.Controls().anValue = int(v);
  reply = "AN" + args + ";";
  return true;
}

// Four 4-character decimal fields into `out`; `unsigned` refuses a sign.
bool FourFields(const std::string &args, int (&out)[4], bool allowSign) {
  long long v[4];
  if (args.size() != 16) return false;
  for (int i = 0; i < 4; i++)
    if (!Decimal(args, 4 * i, 4, v[i]) || (!allowSign && v[i] < 0)) return false;
  for (int i = 0; i < 4; i++) out[i] = int(v[i]);
  return true;
}

bool DoThresholds(AmpModel &m, const std::string &args, std::string &reply) {
  if (!FourFields(args, m.Controls().thresholds, false)) return false;
  reply = "TS" + args + ";";
  return true;
}

bool DoProtectionParams(AmpModel &m, const std::string &args, std::string &reply) {
  if (!FourFields(args, m.Controls().protectionParams, true)) return false;
  reply = "PS" + args + ";";
  return true;
}

bool DoFan(AmpModel &m, const std::string &args, std::string &reply) {
  long long level;
  if (args.size() != 4 || args[0] != '1' || !Decimal(args, 1, 3, level) || level < 0) return false;
  m.Controls().fanLevel = int(level);
  reply = "FN" + args + ";";
  return true;
}

bool DoFilter(AmpModel &m, const std::string &args, std::string &reply) {
  unsigned long mask;
  if (!args.empty()) {
    if (args.size() != 7 || args.compare(0, 5, "30000") != 0 || !Hex(args, 5, 2, mask))
      return false;
    m.Controls().filterMask = uint8_t(mask);
  }
  reply = StrPrintf("SF30000%02x;", m.Controls().filterMask);
  return true;
}

bool DoService(AmpModel &m, const std::string &args, std::string &reply) {
  if (args != "11234") return false;
  m.Controls().serviceMode = true;
  reply = "SE" + args + ";";
  return true;
}

// "MR1;" restarts the microcontroller after answering; "MR0;" acknowledges
// the restart, clearing statusC bit 7.
bool DoRestart(AmpModel &m, const std::string &args, std::string &reply) {
  bool restart = false;
  if (!Flag(args, restart)) return false;
  if (restart)
    m.Restart();
  else
    m.ClearRestartFlag();
  reply = "MR" + args + ";";
  return true;
}

bool DoGenericMode(AmpModel &m, const std::string &args, std::string &reply) {
  long long a, b;
  if (args.size() != 8 || !Decimal(args, 0, 4, a) || !Decimal(args, 4, 4, b)) return false;
  m.Controls().genericParams[0] = int(a);
  m.Controls().genericParams[1] = int(b);
  reply = "GM" + args + ";";
  return true;
}

bool DoGenericSettings(AmpModel &m, const std::string &args, std::string &reply) {
  if (!args.empty()) {
    if (args.size() != GENERIC_SETTINGS_CHARS) return false;
    for (char c : args)
      if (!isprint(static_cast<unsigned char>(c))) return false;
    m.Controls().genericSettings = args;
  }
  reply = "GS" + m.Controls().genericSettings + ";";
  return true;
}

bool DoConfigPage(AmpModel &m, const std::string &args, std::string &reply) {
  if (args.size() != 4 || args.compare(0, 3, "000") != 0 || args[3] < '0' || args[3] > '2')
    return false;
  reply = ConfigPage(args[3] - '0', m.PowerClass());
  return true;
}

struct Command {
  const char *letters;
  Handler handler;
};

const Command COMMANDS[] = {
    {"VS", DoVersion},
    {"ST", DoStatus},
    {"TU", DoTuneMode},
    {"SA", DoAntenna},
    {"FM", DoFreqCounter},
    {"FA", DoFrequency},
    {"MT", DoTuneWord},
    {"FS", DoFreqSensor},
    {"CP", DoClearProtections},
    {"AT", DoAttenuator},
    {"MP", DoProtectionMode},
    {"AB", DoBypass},
    {"AN", DoAn},
    {"TS", DoThresholds},
    {"FN", DoFan},
    {"PS", DoProtectionParams},
    {"SF", DoFilter},
    {"SE", DoService},
    {"MR", DoRestart},
    {"GM", DoGenericMode},
    {"GS", DoGenericSettings},
    {"ER", DoConfigPage},
};

Handler FindHandler(const std::string &letters) {
  for (const Command &c : COMMANDS)
    if (letters == c.letters) return c.handler;
  return nullptr;
}
}  // namespace

bool FrameSplitter::Push(char byte, std::string &frame) {
  if (buffer_.empty() && (byte == '\r' || byte == '\n')) return false;
  buffer_ += byte;
  if (byte == ';') {
    frame.swap(buffer_);
    buffer_.clear();
    return true;
  }
  if (buffer_.size() >= MAX_FRAME_BYTES) {
    discarded_ += buffer_.size();
    buffer_.clear();
  }
  return false;
}

std::string RejectedReply(const std::string &text) {
  bool named = text.size() >= 2 && isupper(static_cast<unsigned char>(text[0])) &&
               isupper(static_cast<unsigned char>(text[1]));
  return (named ? text.substr(0, 2) : std::string("??")) + "?;";
}

bool CommandCrcMatches(const std::string &frame) {
  if (frame.size() < 3) return false;
  int high = charToInt(frame[0]), low = charToInt(frame[1]);
  if (high < 0 || low < 0) return false;
  return (high << 4 | low) == Sys_Crc8Calculation(frame.data() + 2, frame.size() - 2);
}

std::string AmpFirmware::Execute(const std::string &text) {
  if (text.size() < 3 || text.back() != ';') return RejectedReply(text);
  std::string args = text.substr(2, text.size() - 3);
  std::string reply;
  Handler handler = FindHandler(text.substr(0, 2));
  if (!handler || !handler(model_, args, reply)) return RejectedReply(text);
  return reply;
}

std::string AmpFirmware::Reply(const std::string &frame) {
  std::string text = frame.size() > 2 ? frame.substr(2) : std::string();
  return FrameReply(CommandCrcMatches(frame) ? Execute(text) : RejectedReply(text));
}
