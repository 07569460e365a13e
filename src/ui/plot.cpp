#include "ui/plot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "core/works.h"
#include "display/frame_buffer.h"
#include "ui/ui_text.h"

namespace {
constexpr int LEVEL_SLOT = 6, CAPTION_SLOT = 8, FREQ_SLOT = 4;
constexpr Colour LABEL{180, 180, 180}, GRID{120, 120, 120};
constexpr int MODE_PLOT_NARROW = 5;
constexpr int NARROW_FIRST_BIN = 213;  // mode 5 shows the middle 427 bins
constexpr int WIDE_BINS = 854;

// Derived geometry, as every drawing recomputes it (divX follows the mode).
void RecomputeGeometry() {
  int dx = std::max(1, divX.load()), dy = std::max(1, divY.load());
  r_x = (SchermoWidth - borderLeft - borderRight) / dx;
  r_y = (SchermoHeight - borderTop - borderBottom) / dy;
  bound_left = borderLeft.load();
  bound_right = r_x * dx + bound_left;
  b_top = borderTop.load();
  b_bottom = r_y * dy + b_top;
}

// The levels of this pass, taken whole while the link may be writing them.
void CopySpectrum(Works *works) {
  SpectrumRecord *s = works->trx.spectrum;
  std::lock_guard<std::mutex> lock(*works->trx.serMut);
  memcpy(s->work, s->levels, SPECTRUM_POINTS * sizeof(float));
}

void DrawLevels(Works *works, int top, int pointDiv, int rows) {
  FrameBuffer *fb = works->display.fb;
  DrawText(works, CAPTION_SLOT, bound_left - 35, b_top - r_y, LABEL, "dBm");
  for (int i = 0; i <= rows; i++) {
    int y = b_top + i * r_y;
    DrawLine(bound_left, y, bound_right, y, GRID.r, GRID.g, GRID.b, fb, 0);
    DrawText(works, LEVEL_SLOT, bound_left - 35, y, LABEL, "%d", top - i * pointDiv);
  }
}

void DrawOffsets(Works *works, int columns) {
  FrameBuffer *fb = works->display.fb;
  int halfSpanKHz = works->ui.plotSpan / 2000;
  for (int i = 0; i <= columns; i++) {
    int x = bound_left + i * r_x, t = 10 * i - halfSpanKHz;
    DrawLine(x, b_top, x, b_bottom, GRID.r, GRID.g, GRID.b, fb, 0);
    if (t == 0)
      DrawText(works, LEVEL_SLOT, x, b_bottom + 13, LABEL, "%d", t);
    else
      DrawText(works, LEVEL_SLOT, x - 10, b_bottom + 13, LABEL, t > 0 ? "+%d" : "%d", t);
  }
}

void DrawTrace(Works *works, double bottom, double top) {
  FrameBuffer *fb = works->display.fb;
  const float *levels = works->trx.spectrum->work;
  double offset = works->cfg.OffsetPlot;
  int first = works->ui.mainWindow == MODE_PLOT_NARROW ? NARROW_FIRST_BIN : 0;
  // The mode and the bin count change apart (another thread): never past the array.
  int bins = std::clamp(xRangeEnd.load(), 2, std::min(WIDE_BINS, SPECTRUM_POINTS - first));
  PlotPoint from = CalculatePoint(bottom, top, 0, levels[first] + offset);
  for (int i = 0; i + 1 < bins; i++) {
    PlotPoint to = CalculatePoint(bottom, top, i + 1, levels[first + i + 1] + offset);
    DrawLine(int(from.x), int(from.y), int(to.x), int(to.y), 255, 255, 255, fb, 0);
    from = to;
  }
}

const char *FrequencyText(double f, char *out, int size) {
  if (f < 1000)
    snprintf(out, size, "%.00fHz", f);
  else if (f < 1000000)
    snprintf(out, size, "%.03fkHz", f / 1000);
  else
    snprintf(out, size, "%.03fMHz", f / 1000000);
  return out;
}
}  // namespace

void InitGrid() {
  SchermoWidth = 800;
  SchermoHeight = 280;
  divX = 16;
  divY = 10;
  borderLeft = 70;
  borderRight = 40;
  borderTop = 60;
  borderBottom = 50;
  xRangeStart = 0;
  xRangeEnd = WIDE_BINS;
  LabelBorder = 4;
  RecomputeGeometry();
}

PlotPoint CalculatePoint(double bottomLevel, double topLevel, int index, double value) {
  double x = bound_left + double(index - xRangeStart) / double(xRangeEnd - xRangeStart) *
                              double(bound_right - borderLeft);
  double y =
      b_bottom - (value - bottomLevel) / (topLevel - bottomLevel) * double(b_bottom - borderTop);
  // Written so that a level that is not a number lands on the top line.
  if (!(y >= borderTop)) y = borderTop;
  if (y > b_bottom) y = b_bottom;
  return {float(x), float(y)};
}

void DrawGrid(Works *works) {
  if (works->ui.uiFlags != 0 || !works->display.fb) return;
  RecomputeGeometry();
  CopySpectrum(works);
  // A level step below 1 dB per division (setup.txt) would make the grid flat.
  int pointDiv = std::max(1, works->cfg.PointDivPlot.load());
  int rows = std::max(1, divY.load());
  int bottom = works->cfg.RefLevelPlot - works->cfg.RefPosPlot * pointDiv;
  int top = bottom + pointDiv * rows;
  DrawLevels(works, top, pointDiv, rows);
  DrawOffsets(works, std::max(1, divX.load()));
  DrawTrace(works, bottom, top);
  DrawFreq(works);
}

void DrawFreq(Works *works) {
  uint32_t f = works->link.currentFreq;
  if (f == 0) return;
  int mode = works->ui.mainWindow;
  Colour colour = mode == 4 || mode == 5 ? ORANGE : BLACK;
  char text[32];
  DrawText(works, FREQ_SLOT, (bound_right - bound_left) / 2 + bound_left - 75, b_top - r_y / 2,
           colour, "%s", FrequencyText(f, text, sizeof text));
}
