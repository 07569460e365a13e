#include "transceiver/spectrum_fft.h"

#include <cmath>
#include <numbers>

#include "core/log.h"
#include "core/works.h"
#include "remote/ws_send.h"
#include "settings/setup_record.h"

namespace {
constexpr int N_MAX = 4096;
constexpr int DB_FLOOR = -192;
constexpr int DB_CEILING = 50;

struct LineGeometry {
  int n;      // FFT points
  int first;  // first position of the shifted line that is kept
  int points;
};
constexpr LineGeometry SMALL = {2048, 170, 854};
constexpr LineGeometry LARGE = {4096, 341, 1706};

LineGeometry GeometryFor(char enable1600) { return enable1600 == '0' ? SMALL : LARGE; }

// Made for one FFT size and kept until the size changes. The twiddles of
// each stage are laid out contiguously (stage with span e uses co[j·N/2e]
// for j < e), so the butterflies read them in order; the values are those
// of the one recurrence table.
struct FftTables {
  char enable1600 = 0;  // matches neither '0' nor '1' before the first line
  int n = 0;
  double window[N_MAX];
  double stageCo[N_MAX], stageSi[N_MAX];  // stage with span e from offset e − 1
  uint16_t bitReversed[N_MAX];
  double re[N_MAX], im[N_MAX];
};
FftTables tables;

void MakeWindow(int n) {
  tables.window[0] = 0;
  const double step = 2 * std::numbers::pi / (n - 1);
  for (int i = 1; i < n; i++)
    tables.window[i] = 0.35875 - 0.48829 * std::cos(step * i) + 0.14128 * std::cos(2 * step * i) -
                       0.01168 * std::cos(3 * step * i);
}

void MakeTwiddles(int n) {
  static double co[N_MAX / 2], si[N_MAX / 2];
  const double angle = -std::numbers::pi / (n / 2);
  const double c = std::cos(angle), s = std::sin(angle);
  co[0] = 1;
  si[0] = 0;
  for (int k = 1; k < n / 2; k++) {
    co[k] = co[k - 1] * c - si[k - 1] * s;
    si[k] = si[k - 1] * c + co[k - 1] * s;
  }
  for (int span = n / 2; span >= 1; span /= 2) {
    int groups = n / (2 * span);
    for (int j = 0; j < span; j++) {
      tables.stageCo[span - 1 + j] = co[j * groups];
      tables.stageSi[span - 1 + j] = si[j * groups];
    }
  }
}

void MakeBitReversal(int n) {
  int bits = 0;
  while ((1 << bits) < n) bits++;
  for (int i = 0; i < n; i++) {
    int r = 0;
    for (int b = 0; b < bits; b++) r |= ((i >> b) & 1) << (bits - 1 - b);
    tables.bitReversed[i] = static_cast<uint16_t>(r);
  }
}

void PrepareTables(char enable1600, int n) {
  if (tables.enable1600 == enable1600 && tables.n == n) return;
  MakeWindow(n);
  MakeTwiddles(n);
  MakeBitReversal(n);
  tables.enable1600 = enable1600;
  tables.n = n;
}

void Butterflies(double *re, double *im, int n, int span) {
  const double *co = tables.stageCo + span - 1;
  const double *si = tables.stageSi + span - 1;
  for (int start = 0; start < n; start += 2 * span) {
    double *ar = re + start, *ai = im + start, *br = ar + span, *bi = ai + span;
    for (int j = 0; j < span; j++) {
      double tr = ar[j] - br[j], ti = ai[j] - bi[j];
      ar[j] += br[j];
      ai[j] += bi[j];
      br[j] = tr * co[j] - ti * si[j];
      bi[j] = tr * si[j] + ti * co[j];
    }
  }
}

// The last stage's twiddle is exactly 1.
void LastStage(double *re, double *im, int n) {
  for (int a = 0; a < n; a += 2) {
    double tr = re[a] - re[a + 1], ti = im[a] - im[a + 1];
    re[a] += re[a + 1];
    im[a] += im[a + 1];
    re[a + 1] = tr;
    im[a + 1] = ti;
  }
}

void WindowedFft(const float *samples, int n) {
  double *re = tables.re, *im = tables.im;
  for (int j = 0; j < n; j++) {
    re[j] = samples[2 * j] * tables.window[j];
    im[j] = samples[2 * j + 1] * tables.window[j];
  }
  for (int span = n / 2; span > 1; span /= 2) Butterflies(re, im, n, span);
  LastStage(re, im, n);
}

// dB + 192 of one bin; silent or broken bins (0, NaN) read as the floor.
uint8_t LevelByte(double re, double im, double scale) {
  re *= scale;
  im *= scale;
  double db = 20 * std::log10(std::sqrt(re * re + im * im));
  if (!(db > DB_FLOOR)) db = DB_FLOOR;
  if (db > DB_CEILING) db = DB_CEILING;
  return static_cast<uint8_t>(static_cast<int>(std::trunc(db)) - DB_FLOOR);
}
}  // namespace

int SpectrumLinePoints(char enable1600) { return GeometryFor(enable1600).points; }

int SpectrumLine(const float *samples, char enable1600, uint8_t *line) {
  const LineGeometry g = GeometryFor(enable1600);
  PrepareTables(enable1600, g.n);
  WindowedFft(samples, g.n);
  // Position p of the shifted line holds bin (p + N/2) mod N, which the
  // decimation-in-frequency order keeps at its bit-reversed index; only the
  // kept positions are worked out.
  const double scale = 2.0 / g.n;  // the division by N/2, exact
  for (int i = 0; i < g.points; i++) {
    int bin = (g.first + 2 * i + g.n / 2) & (g.n - 1);
    int at = tables.bitReversed[bin];
    line[i] = LevelByte(tables.re[at], tables.im[at], scale);
  }
  return g.points;
}

void fftCalc(const float *samples, int count, Works *works) {
  char enable1600 = ReadSetupFlag(works->cfg.setup->Enable1600);
  if (count < 2 * GeometryFor(enable1600).n) {
    LogSys(LOG_PRIO_ERR, "spectrum line needs %d samples, %d given", 2 * GeometryFor(enable1600).n,
           count);
    return;
  }
  uint8_t line[FFT_LINE_MAX];
  int points = SpectrumLine(samples, enable1600, line);
  if (works->remote.wsConnected) sendWebSockSerSpectrFrame(works, line, points);
}
