#include "amplifier/errors.h"

#include <cstdio>
#include <cstring>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "settings/setup_record.h"

namespace {
constexpr uint8_t FLAG_PROTECTION = 2;
constexpr uint8_t FLAG_TEMPORARY = 4;
constexpr uint8_t PROT_RESET_NEEDED = 1;
constexpr uint8_t PROT_DISPLAY_CLEARED = 2;
constexpr uint8_t PROT_TEMPORARY = 4;

struct DescrText {
  uint8_t flags;
  const char *line1;
  const char *line2;
};

const DescrText ERR_DESCR[ERROR_CODES] = {
    {2, "1-High", "temperature"},
    {3, "HI SWR", "error"},
    {1, "1-High", "temperature"},
    {3, "PWR IN", "error"},
    {4, "Comm", "warn "},
    {4, "Remote warn", "Usb"},
    {4, "Audio", "not found"},
    {4, "TAVO mode", "not activated"},
    {4, "TAVO EXTIO", "warning"},
    {0, "Audio read", "warning"},
    {0, "Audio write", "warning"},
    {0, "Web socket", "warning"},
    {4, "Auto Tune", "timeout"},
    {4, "Auto Tune", "SWR warning"},
    {4, "Auto Tune", "TAVO aborts"},
    {3, "Error", "---"},
    {4, "Micro Reset", "warning"},
    {4, "CMD not", "available"},
    {4, "Auto Tune", "Max SWR"},
    {6, "Band warn", "StBy"},
    {4, "Remote warn", "Cat"},
    {2, "2-High", "temperature"},
    {1, "2-High", "temperature"},
    {2, "2-Warning", "temperature"},
    {2, "2-Warning", "temperature"},
    {1, "Error Open", ""},
    {1, "Error", "Soket Close"},
};

bool ValidCode(int32_t code) { return code >= 0 && code < ERROR_CODES; }

bool IsTemperatureCode(int32_t code) {
  return code == ERR_TEMP1_HIGH || code == ERR_TEMP2_HIGH || code == ERR_TEMP1_WARNING ||
         code == ERR_TEMP2_WARNING;
}

int FindLocked(const ErrorState &e, int32_t code) {
  for (int i = 0; i < e.errCount; i++)
    if (e.errList[i] == code) return i;
  return -1;
}

void RemoveAtLocked(ErrorState &e, int slot) {
  int32_t code = e.errList[slot];
  for (int i = slot; i < ERROR_CODES - 1; i++) e.errList[i] = e.errList[i + 1];
  e.errList[ERROR_CODES - 1] = 0;
  e.errCount--;
  LogErr("Del ERROR: N: %i err:%i\n", e.errCount, code);
}

// Removes every listed code for which `remove` holds (code 25 always stays).
template <typename Pred>
void DeleteWhere(Works *works, Pred remove) {
  ErrorState &e = works->errors;
  std::lock_guard<std::mutex> lock(e.errMutex);
  for (int i = 0; i < e.errCount;) {
    int32_t code = e.errList[i];
    if (code != ERR_EXTIO_OPEN && remove(code, e)) {
      LogErr("Del temp err: %i (%i , %i)\n", code, i, e.errCount);
      RemoveAtLocked(e, i);
    } else {
      i++;
    }
  }
}

bool ListEmpty(Works *works) {
  std::lock_guard<std::mutex> lock(works->errors.errMutex);
  return works->errors.errCount == 0;
}
}  // namespace

void InitErrDescr(Works *works) {
  std::lock_guard<std::mutex> lock(works->errors.errMutex);
  for (int code = 0; code < ERROR_CODES; code++) {
    ErrorDescr &d = works->errors.errDescr[code];
    d.flags = ERR_DESCR[code].flags;
    snprintf(d.line1, sizeof d.line1, "%s", ERR_DESCR[code].line1);
    snprintf(d.line2, sizeof d.line2, "%s", ERR_DESCR[code].line2);
  }
}

void SetErrLine2(Works *works, int32_t code, const std::string &text) {
  if (!ValidCode(code)) return;
  std::lock_guard<std::mutex> lock(works->errors.errMutex);
  ErrorDescr &d = works->errors.errDescr[code];
  snprintf(d.line2, sizeof d.line2, "%s", text.c_str());
}

ErrorDescr GetErrDescr(Works *works, int32_t code) {
  std::lock_guard<std::mutex> lock(works->errors.errMutex);
  return ValidCode(code) ? works->errors.errDescr[code] : ErrorDescr{};
}

std::vector<int32_t> GetErrList(Works *works) {
  std::lock_guard<std::mutex> lock(works->errors.errMutex);
  return {works->errors.errList, works->errors.errList + works->errors.errCount};
}

void AddErrore(Works *works, int32_t code) {
  ErrorState &e = works->errors;
  if ((e.errMask & 1) || !ValidCode(code)) return;
  std::lock_guard<std::mutex> lock(e.errMutex);
  if (FindLocked(e, code) >= 0) return;
  e.errList[e.errCount++] = code;
  LogErr("Add: N: %i err:%i\n", e.errCount, code);
  uint8_t flags = e.errDescr[code].flags;
  if ((flags & FLAG_PROTECTION) && !(e.protState & PROT_RESET_NEEDED)) {
    e.protState |= PROT_RESET_NEEDED;
    LogErr(" -->set protezione 0x%x\n", int(e.protState));
  }
  if ((flags & FLAG_TEMPORARY) && !(e.protState & PROT_TEMPORARY)) {
    e.protState |= PROT_TEMPORARY;
    LogErr(" -->tasto reset errore 0x%x\n", int(e.protState));
  }
}

void DeleteErrore(Works *works, int32_t code) {
  if (code == ERR_EXTIO_OPEN) return;
  ErrorState &e = works->errors;
  std::lock_guard<std::mutex> lock(e.errMutex);
  int slot = FindLocked(e, code);
  if (slot >= 0) RemoveAtLocked(e, slot);
}

int ExistError(Works *works, int32_t code) {
  std::lock_guard<std::mutex> lock(works->errors.errMutex);
  return FindLocked(works->errors, code) >= 0 ? 1 : 0;
}

int32_t ExistAnError(Works *works) {
  std::lock_guard<std::mutex> lock(works->errors.errMutex);
  return works->errors.errCount > 0 ? works->errors.errList[0] : -1;
}

bool VerifyError(Works *works) {
  for (int32_t code : GetErrList(works))
    if (!IsTemperatureCode(code)) return true;
  return false;
}

void VerifyWarningTemporanei(Works *works) {
  DeleteWhere(works, [](int32_t code, const ErrorState &e) {
    return (e.errDescr[code].flags & FLAG_TEMPORARY) != 0;
  });
}

void VerifyWarningTemporaneiDopoResetBias(Works *works) {
  DeleteWhere(works, [](int32_t, const ErrorState &) { return true; });
}

int GPIO_Errori(Works *works) {
  if (works->errors.protState) {
    LogErr("----------> 1- ERRORI!!\n");
    GestErrore(works);
    return 1;
  }
  if (ListEmpty(works)) return 0;
  GestErroreRemote(works);
  if (IsTemperatureCode(ExistAnError(works))) {
    LogErr("----------> 2- ERRORI!!\n");
    return 0;
  }
  LogErr("----------> 3- ERRORI!!\n");
  VerificaEsistonoErrori(works);
  return 1;
}

void GestErrore(Works *works) {
  LogErr(">>> ERRORI: GestErrore\n");
  if (ExistError(works, ERR_MICRO_RESET)) {
    InitMicroCmd(works);
    // The restart also lost the band filter, the amplifier in line, the
    // attenuator and the stored tune: the timer applies the whole frequency
    // state again, as after a bank load.
    works->core.forceFreq = -1;
    DeleteErrore(works, ERR_MICRO_RESET);
    LogErr("DELETE Err RESET MICRO\n");
  }
  ErrorState &e = works->errors;
  if (e.protState & PROT_RESET_NEEDED) {
    LogErr(">>> ERRORI: ResetBiasCmd\n");
    ResetBiasCmd(works);
    works->link.cmdPriority = 1;
    e.errResend = 1;
  } else if (e.protState & PROT_TEMPORARY) {
    VerifyWarningTemporanei(works);
    e.protState &= ~PROT_TEMPORARY;
  } else if (!ListEmpty(works)) {
    LogErr(">>> ERRORI2: VerificaEsistonoErrori\n");
    VerificaEsistonoErrori(works);
  }
  GestErroreRemote(works);
}

void ResetBiasCmd(Works *works) {
  LinkState &l = works->link;
  if (l.statusC != 0 || (l.statusB & 2)) {
    IncPNTIn_CMDLinear(CMD_CP, works);
    LogErr(">>> ERRORI: RESET Protezione AMPL!\n");
  }
  if (l.statusC & 0x80) InitMicroCmd(works);
  IncPNTIn_CMDLinear(CMD_MP0, works);
  IncPNTIn_CMDLinear(l.ampBypass ? CMD_AB1 : CMD_AB0, works);
  IncPNTIn_CMDLinear(CMD_AT, works);
}

void VerificaEsistonoErrori(Works *works) {
  int32_t first = ExistAnError(works);
  if (first < 0) return;
  LogErr("FOUND ERR: %d \n", first);
  ResetBiasCmd(works);
  VerifyWarningTemporaneiDopoResetBias(works);
}

void ClearDisplayError(Works *works) {
  works->errors.protState |= PROT_DISPLAY_CLEARED;
  for (int32_t code : {ERR_TUNE_TIMEOUT, ERR_TUNE_SWR_WARNING, ERR_TUNE_TAVO_ABORTS})
    DeleteErrore(works, code);
  LogErr(" -->reset protezione %c\n", char(works->link.statusB));
}

void GestErroreSerial(Works *works) {
  ClearDisplayError(works);
  ErrorState &e = works->errors;
  if (e.protState & PROT_RESET_NEEDED) VerifyWarningTemporaneiDopoResetBias(works);
  if (e.protState & PROT_TEMPORARY) {
    VerifyWarningTemporanei(works);
    e.protState &= ~PROT_TEMPORARY;
  }
  if (!ListEmpty(works)) VerificaEsistonoErrori(works);
}

namespace {
// A remote thread that has ended (its flag '0') is started again; the flags
// are the threads' run flags, changed under them.
void RestartRemoteThread(Works *works, char &flag, void (*start)(Works *), const char *message) {
  if (ReadSetupFlag(flag) != '0') return;
  WriteSetupFlag(flag, '1');
  LogErr("%s", message);
  start(works);
}
}  // namespace

void GestErroreRemote(Works *works) {
  SetupRecord &s = *works->cfg.setup;
  LogErr(">>> RESTART REMOTE: %i %i audio %x %x\n", int(works->core.remoteActive),
         int(works->remote.remoteFault), ReadSetupFlag(s.EnableWrite), ReadSetupFlag(s.EnableRead));
  if (works->core.remoteActive != 1 || works->remote.remoteFault != 1) return;
  LogErr(">>> RESTART REMOTE!\n");
  works->remote.remoteFault = 0;
  RestartRemoteThread(works, s.EnableWrite, StartThreadAudioWrite, "start audio write\n");
  RestartRemoteThread(works, s.EnableRead, StartThreadAudioRead, "start audio read\n");
  RestartRemoteThread(works, s.EnableCAT, StartThreadCAT, "");
  RestartRemoteThread(works, s.EnableFFT, StartTAVOReadFFT, "");
}
