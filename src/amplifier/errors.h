#pragma once
// The error list: codes 0..26 with fixed descriptors, added and deleted by
// the producers, cleared by the error key's reset sequence.
#include <cstdint>
#include <string>
#include <vector>

#include "amplifier/state.h"

struct Works;

enum ErrorCode : int32_t {
  ERR_TEMP1_ENDED = 0,
  ERR_HI_SWR = 1,
  ERR_TEMP1_HIGH = 2,
  ERR_PWR_IN = 3,
  ERR_COMM = 4,
  ERR_REMOTE_USB = 5,
  ERR_AUDIO_NOT_FOUND = 6,
  ERR_TAVO_MODE = 7,
  ERR_TAVO_EXTIO = 8,
  ERR_AUDIO_READ = 9,
  ERR_AUDIO_WRITE = 10,
  ERR_WEB_SOCKET = 11,
  ERR_TUNE_TIMEOUT = 12,
  ERR_TUNE_SWR_WARNING = 13,
  ERR_TUNE_TAVO_ABORTS = 14,
  ERR_PROTECTION = 15,
  ERR_MICRO_RESET = 16,
  ERR_CMD_NOT_AVAILABLE = 17,
  ERR_TUNE_MAX_SWR = 18,
  ERR_BAND_WARN = 19,
  ERR_REMOTE_CAT = 20,
  ERR_TEMP2_ENDED = 21,
  ERR_TEMP2_HIGH = 22,
  ERR_TEMP1_WARNING = 23,
  ERR_TEMP2_WARNING = 24,
  ERR_EXTIO_OPEN = 25,
  ERR_SOCKET_CLOSE = 26,
};

// Fills the descriptor table with its fixed texts and flags.
void InitErrDescr(Works *works);
// Replaces the second caption line of a code ("Err ST" for code 4, ...).
void SetErrLine2(Works *works, int32_t code, const std::string &text);
ErrorDescr GetErrDescr(Works *works, int32_t code);
// A copy of the list, in the order the codes were added.
std::vector<int32_t> GetErrList(Works *works);

void AddErrore(Works *works, int32_t code);
void DeleteErrore(Works *works, int32_t code);
int ExistError(Works *works, int32_t code);
int32_t ExistAnError(Works *works);
bool VerifyError(Works *works);
void VerifyWarningTemporanei(Works *works);
void VerifyWarningTemporaneiDopoResetBias(Works *works);

// The error key: 1 when a reset was started.
int GPIO_Errori(Works *works);
void GestErrore(Works *works);
void ResetBiasCmd(Works *works);
void VerificaEsistonoErrori(Works *works);
void ClearDisplayError(Works *works);
void GestErroreSerial(Works *works);
void GestErroreRemote(Works *works);
