#include "transceiver/spectrum_line.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/log.h"
#include "core/works.h"
#include "remote/ws_send.h"
#include "settings/setup_record.h"
#include "transceiver/tavo_params.h"

namespace {
constexpr int LAST_LEVEL_BYTE = SPECTRUM_FIRST_BIN + SPECTRUM_LEVELS - 1;  // 938
constexpr double BINS_PER_HZ = 0.005333;
constexpr int MODE_LOWER_SIDEBAND = 4;
constexpr int MODE_UPPER_SIDEBAND = 6;
}  // namespace

void storeFFT(Works *works, int len, const uint8_t *line) {
  float levels[SPECTRUM_LEVELS] = {};
  int last = std::min(LAST_LEVEL_BYTE, len - 1);
  for (int i = SPECTRUM_FIRST_BIN; i <= last; i++)
    levels[i - SPECTRUM_FIRST_BIN] = static_cast<float>(line[i] - 192.0);
  TransceiverState &trx = works->trx;
  if (!trx.serMut || !trx.spectrum || !trx.spectrum->levels) {
    LogSys(LOG_PRIO_ERR, "serMut mutex cannot be locked");
    return;
  }
  std::lock_guard<std::mutex> lock(*trx.serMut);
  memcpy(trx.spectrum->levels, levels, sizeof levels);
}

int SpectrumShiftBins(const TavoParamsRecord &params) {
  const int32_t *w = params.word;
  int shift = 0;
  if (w[tavo::mode] == MODE_LOWER_SIDEBAND)
    shift = static_cast<int>(-w[tavo::offset3] * BINS_PER_HZ);
  else if (w[tavo::mode] == MODE_UPPER_SIDEBAND)
    shift = static_cast<int>(w[tavo::offset3] * BINS_PER_HZ);
  return static_cast<int>(std::trunc(shift + w[tavo::offset5] * BINS_PER_HZ + 85.0));
}

int ShiftSpectrumLine(const uint8_t *line, int len, int shift, uint8_t *out) {
  int start = shift % SPECTRUM_LINE_BYTES;
  if (start < 0) start += SPECTRUM_LINE_BYTES;
  for (int k = 0; k < SPECTRUM_LINE_BYTES; k++) out[k] = line[(start + k) % SPECTRUM_LINE_BYTES];
  return std::clamp(len - 2 * SPECTRUM_FIRST_BIN, 0, SPECTRUM_LINE_BYTES);
}

void ForwardSpectrumLine(Works *works, const uint8_t *line, int len) {
  if (ReadSetupFlag(works->cfg.setup->fftRun) != '0' || !works->remote.wsConnected) return;
  TavoParamsRecord params{};
  getParameters(&params, works);
  uint8_t out[SPECTRUM_LINE_BYTES];
  int n = ShiftSpectrumLine(line, len, SpectrumShiftBins(params), out);
  sendWebSockSerSpectrFrame(works, out, n);
}
