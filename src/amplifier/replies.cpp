#include "amplifier/replies.h"

#include <cstring>

#include "amplifier/commands.h"
#include "amplifier/link.h"
#include "amplifier/reply_text.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "ui/state.h"

namespace {
constexpr int ANTENNAS = 3;
constexpr uint8_t ERR_MASK_ADDING = 1;
constexpr uint8_t MICRO_RESET_SEEN = 1, MICRO_RESET_RAISED = 2;
constexpr uint8_t HIGH_POWER = '1';

bool Rejected(const ReplyText &r) { return r.At(2) == '?' || r.At(2) == '!' || r.At(2) == '&'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void ReplyVersion(Works *works, const ReplyText &r) {
  std::lock_guard<std::mutex> lock(works->link.textMutex);
  char *v = works->link.firmwareVersion;
  for (int i = 0; i < FIRMWARE_VERSION_LEN; i++) v[i] = r.At(3 + i);
  v[FIRMWARE_VERSION_LEN] = '\0';
}

void ReplyAntenna(Works *works, const ReplyText &r) {
  // Only an antenna the unit has: the index selects its tables.
  int antenna = r.At(2) - '0' - 1;
  if (antenna >= 0 && antenna < ANTENNAS) works->tuner.antennaIdx = antenna;
}

void ReplyFrequency(Works *works, const ReplyText &r) {
  uint64_t hz = r.Decimal(3, 11);
  if (hz > 0 && hz <= UINT32_MAX) works->link.measuredFreq = uint32_t(hz);
}

void ReplyAttenuator(Works *works, const ReplyText &r) {
  char a = r.At(2), b = r.At(3);
  if ((a == '0' || a == '1') && (b == '0' || b == '1'))
    works->link.attReported = uint8_t((a - '0') * 2 + (b - '0'));
  LogErr("ATTENUATORE SET: %x (%x)\n", unsigned(works->link.attReported),
         unsigned(works->cfg.Attenuator));
}

void ReplyAntennaValue(Works *works, const ReplyText &r) {
  if (!IsDigit(r.At(2))) return;
  works->link.anValue = r.At(2) - '0';
  if (works->tuner.autoAntFlags & ANT_ANSWER_WAIT) works->tuner.autoAntFlags |= ANT_ANSWER_DONE;
}

void ReplyMicroReset(Works *works, const ReplyText &r) {
  LogErr("RESET MICRO: %s\n", r.text);
  if (r.At(2) != '0') return;
  std::atomic<uint8_t> &flags = works->link.microResetFlags;
  flags = uint8_t((flags | MICRO_RESET_SEEN) & ~MICRO_RESET_RAISED);
  LogErr("RESET MICRO ----------------------------------  %x\n", unsigned(flags));
}

void ReplyGenericSettings(Works *works, const ReplyText &r) {
  std::string settings;
  {
    std::lock_guard<std::mutex> lock(works->link.textMutex);
    char *g = works->link.genericSettings;
    for (int i = 0; i < GENERIC_SETTINGS_LEN; i++) {
      char c = r.At(2 + i);
      if (c == ';' || c == '\0') {
        LogErr("ERRORE!! Impostazioni Generali\n");
        break;
      }
      g[i] = c;
    }
    settings = g;
  }
  LogErr("Impostazioni Generali : %s (%s)\n", settings.c_str(), r.text);
}

void ReplyConfigPage(Works *works, const ReplyText &r) {
  LinkState &l = works->link;
  char page = r.At(5);
  if (page == '0' || page == '1') {
    std::lock_guard<std::mutex> lock(l.textMutex);
    uint8_t *bytes = l.configPage[page - '0'];
    for (int k = 0; k < CONFIG_PAGE_LEN; k++) bytes[k] = r.HexPair(6 + 2 * k);
  }
  if (page == '0') LogErr("EE0:%s\n", r.text);
  if (page == '1') LogErr("EE1:%s\n", r.text);
  if (page != '2') return;
  l.ampConfig[0] = r.HexPair(6);
  l.ampConfig[1] = r.HexPair(8);
  number_ofStep_meter_FWD = l.ampConfig[1] == HIGH_POWER ? 120 : 60;
  LogErr("EE2: %x %x\n", unsigned(l.ampConfig[0]), unsigned(l.ampConfig[1]));
}

using ReplyHandler = void (*)(Works *, const ReplyText &);

struct ReplyKind {
  char letters[3];
  ReplyHandler handle;  // null: the reply only confirms its command
};

const ReplyKind REPLIES[] = {
    {"VS", ReplyVersion},
    {"TU", [](Works *w, const ReplyText &r) { w->link.tuneStateDigit = uint8_t(r.At(2) - '0'); }},
    {"SA", ReplyAntenna},
    {"FM", ReplyFrequency},
    {"FA", nullptr},
    {"MT", nullptr},
    {"FS", nullptr},
    {"MP", nullptr},
    {"TS", nullptr},
    {"CP", [](Works *w, const ReplyText &) { w->errors.errMask &= uint8_t(~ERR_MASK_ADDING); }},
    {"AT", ReplyAttenuator},
    {"AB",
     [](Works *w, const ReplyText &r) {
       LogErr(">> ByPass Ampl: %s\n", r.text);
       w->link.ampBypass = r.At(2) == '1' ? 1 : 0;
     }},
    {"AN", ReplyAntennaValue},
    {"FN", [](Works *, const ReplyText &r) { LogErr("Ventola: %s\n", r.text); }},
    {"PS",
     [](Works *, const ReplyText &r) { LogErr("Protezioni automatiche setted : %s\n", r.text); }},
    {"SF", [](Works *, const ReplyText &r) { LogErr("Pilotaggio Relè : %s\n", r.text); }},
    {"SE", [](Works *, const ReplyText &r) { LogErr("SERVICE ATTIVO!! : %s\n", r.text); }},
    {"MR", ReplyMicroReset},
    {"GM", [](Works *, const ReplyText &r) { LogErr("Impostazioni Generic mode : %s\n", r.text); }},
    {"GS", ReplyGenericSettings},
    {"ER", ReplyConfigPage},
};

const ReplyKind *FindReply(const ReplyText &r) {
  for (const ReplyKind &k : REPLIES)
    if (r.Is(k.letters)) return &k;
  return nullptr;
}

void RetryAfter(Works *works, const char *what, const char *text) {
  LogErr("---------------------------------------%s:%s\n", what, text);
  GestRetrayCMD(works);
  SleepMillis(PAUSE_AFTER_REPLY_MS);
}
}  // namespace

void DecodeCatCmd(Works *works, const char *text, int count) {
  // A frame too short to name a reply is retried like an unknown one.
  if (count < 3) return RetryAfter(works, "cmd non riconosciuto", "");
  std::string copy(text, size_t(count - 2));  // terminated for the diagnostic lines
  ReplyText reply{copy.c_str(), count - 2};
  if (Rejected(reply)) return RetryAfter(works, "CMD Errato", reply.text);
  if (reply.Is("ST")) return DecodeStatusReply(works, reply);
  const ReplyKind *kind = FindReply(reply);
  if (!kind) return RetryAfter(works, "cmd non riconosciuto", reply.text);
  if (kind->handle) kind->handle(works, reply);
  NextCmdPriority(works, CMD_ST);
  SleepMillis(PAUSE_AFTER_REPLY_MS);
}

std::string GetFirmwareVersion(Works *works) {
  std::lock_guard<std::mutex> lock(works->link.textMutex);
  return works->link.firmwareVersion;
}

std::string GetGenericSettings(Works *works) {
  std::lock_guard<std::mutex> lock(works->link.textMutex);
  return works->link.genericSettings;
}
