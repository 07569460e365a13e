#include "amplifier/status_summary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "amplifier/errors.h"
#include "core/works.h"
#include "ui/supply_voltage.h"

namespace {
constexpr float CURRENT_FULL_SCALE_A = 14.05f;
constexpr uint8_t TUNE_NOT_FITTED = 0x80;

// Writes `value` into the `width` characters at `pos`; a value wider than
// its field keeps its leading characters, so the fields never shift.
void PutField(char *out, int pos, int width, const char *format, double value) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  size_t n = std::min(strlen(text), size_t(width));
  memset(out + pos, ' ', width);
  memcpy(out + pos + width - n, text, n);
}

// The first antenna-table row holding the frequency names the band.
void PutBandName(Works *works, char *out) {
  TunerState &t = works->tuner;
  uint32_t f = works->link.currentFreq;
  char name[5] = "----";
  std::lock_guard<std::mutex> lock(t.antennaMutex);
  for (int i = 0; i < t.nRowAntenna && i < ANTENNA_ROWS; i++) {
    const AntennaRow &r = t.tabAntenna[i];
    if (int64_t(r.fStart) <= f && f <= int64_t(r.fStop)) {
      snprintf(name, sizeof name, "%-4.4s", r.Band);
      break;
    }
  }
  memcpy(out, name, 4);
}

char TunerLetter(Works *works) {
  if (works->cfg.TUNEenabled & TUNE_NOT_FITTED) return 'N';
  return works->link.atuBypass ? 'B' : 'T';
}

char LastErrorByte(Works *works) {
  std::vector<int32_t> list = GetErrList(works);
  return list.empty() ? '0' : char(list.back() + 1);
}
}  // namespace

void CreaBufferDiStato(Works *works, char *out) {
  LinkState &l = works->link;
  int mode = works->tuner.modeWorkIdx;
  PutBandName(works, out);
  out[4] = (mode == 1 || mode == 2) ? char('0' + mode) : '0';
  out[5] = char('0' + works->cfg.Attenuator);
  out[6] = char('0' + works->tuner.antennaIdx);
  out[7] = l.ampBypass ? '1' : '0';
  out[8] = TunerLetter(works);
  out[9] = works->tuner.tuneStatus != 0 ? '1' : '0';
  PutField(out, 10, 6, "%06.02f", l.swr);
  PutField(out, 16, 6, "%06.2f", l.pwrFwd);
  PutField(out, 22, 6, "%06.02f", l.pwrIn);
  PutField(out, 28, 4, "%04.01f", std::max(float(l.temp1), float(l.temp2)));
  PutField(out, 32, 4, "%4.1f", CalvTensVadcAmp(works));
  PutField(out, 36, 4, "%04.01f", l.currentRaw / 4096 * CURRENT_FULL_SCALE_A);
  PutField(out, 40, 2, "%02.0f", double(works->cfg.NumBanco));
  out[42] = LastErrorByte(works);
  memset(out + 43, '0', 8);
  out[51] = ';';
  out[52] = '\0';
}
