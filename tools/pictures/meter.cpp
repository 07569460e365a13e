#include "meter.h"

#include <cmath>

namespace {
// Where the marks sit along each needle: the tick arc just inside the
// needle's tip, the numbers beyond it.
constexpr double ARC_FRACTION = 0.93;
constexpr double TICK_LENGTH[] = {6, 9, 13};  // minor, middle, major (pixels)
constexpr double LABEL_DISTANCE = 24;         // from the arc to a number's centre
constexpr double LEGEND_FRACTION = 0.70;
constexpr int ARC_STEPS = 240;

const Rgb INK{28, 28, 30};
const Rgb WARNING{196, 40, 32};

// The point `pixels` beyond fraction `s` of the needle for `position`, in
// canvas coordinates (pixel centres at +0.5, as the program's lines run).
Point Along(const MeterScale &m, double position, double s, double pixels = 0) {
  NeedlePoint tip = NeedleTip(m.pivot.x, m.pivot.y, NeedleAngle(position, m.fullScale));
  double dx = tip.x - m.pivot.x, dy = tip.y - m.pivot.y;
  double k = s + pixels / std::hypot(dx, dy);
  return {m.pivot.x + 0.5 + k * dx, m.pivot.y + 0.5 + k * dy};
}

std::vector<Point> ArcPoints(const MeterScale &m, double from, double to, double s, double pixels) {
  std::vector<Point> points;
  for (int i = 0; i <= ARC_STEPS; i++)
    points.push_back(Along(m, from + (to - from) * i / ARC_STEPS, s, pixels));
  return points;
}

void DrawWarningZone(Canvas &canvas, const MeterScale &m) {
  if (m.warningFrom < 0) return;
  canvas.Polyline(ArcPoints(m, m.warningFrom, m.fullScale, ARC_FRACTION, -4.5), 4.5, WARNING);
}

void DrawTicks(Canvas &canvas, const MeterScale &m) {
  canvas.Polyline(ArcPoints(m, 0, m.fullScale, ARC_FRACTION, 0), 1.6, INK);
  for (const ScaleMark &mark : m.marks) {
    int kind = int(mark.tick);
    bool warn = m.warningFrom >= 0 && mark.position > m.warningFrom;
    double width = mark.tick == Tick::Major ? 2.2 : mark.tick == Tick::Middle ? 1.6 : 1.1;
    canvas.Line(Along(m, mark.position, ARC_FRACTION),
                Along(m, mark.position, ARC_FRACTION, TICK_LENGTH[kind]), width,
                warn ? WARNING : INK);
  }
}

void DrawLabels(Canvas &canvas, const MeterScale &m, const MeterFonts &fonts) {
  for (const ScaleMark &mark : m.marks) {
    if (mark.label.empty()) continue;
    bool warn = m.warningFrom >= 0 && mark.position > m.warningFrom;
    TextStyle style{mark.symbol ? &fonts.symbols : &fonts.numbers, warn ? WARNING : INK};
    canvas.TextCentredAt(style, mark.label, Along(m, mark.position, ARC_FRACTION, LABEL_DISTANCE));
  }
  if (m.legend.empty()) return;
  TextStyle legend{&fonts.legend, Mix(INK, Rgb{240, 232, 210}, 0.35), 2};
  canvas.TextCentredAt(legend, m.legend, Along(m, m.fullScale / 2, LEGEND_FRACTION));
}
}  // namespace

MeterScale PowerScale(Point pivot, int fullScale) {
  MeterScale m{pivot, double(fullScale), {}, -1, "WATTS"};
  int step = fullScale / 60;  // one minor step: 1 W on the 60 W scale, 2 W on 120 W
  for (int w = 0; w <= fullScale; w += step) {
    int unit = w / step;
    Tick tick = unit % 10 == 0 ? Tick::Major : unit % 5 == 0 ? Tick::Middle : Tick::Minor;
    m.marks.push_back({double(w), tick, tick == Tick::Major ? std::to_string(w) : ""});
  }
  return m;
}

MeterScale SwrScale(Point pivot) {
  // No legend: the program writes "SWR" under this scale.
  MeterScale m{pivot, 60, {}, SwrMeterPosition(3.0), ""};
  struct Mark {
    double swr;
    const char *label;
  };
  const Mark majors[] = {{1.0, "1"}, {1.5, "1.5"}, {2.0, "2"},  {3.0, "3"},
                         {4.0, "4"}, {5.0, "5"},   {10.0, "10"}};
  for (const Mark &mark : majors)
    m.marks.push_back({SwrMeterPosition(mark.swr), Tick::Major, mark.label});
  m.marks.push_back({60, Tick::Major, "\xE2\x88\x9E", true});  // infinity
  for (double swr : {2.5, 3.5, 4.5, 7.0})
    m.marks.push_back({SwrMeterPosition(swr), Tick::Middle, ""});
  for (double swr : {1.1, 1.2, 1.3, 1.4, 1.6, 1.7, 1.8, 1.9, 2.25, 2.75, 6.0, 8.0, 9.0, 20.0})
    m.marks.push_back({SwrMeterPosition(swr), Tick::Minor, ""});
  return m;
}

void DrawMeterScale(Canvas &canvas, const MeterScale &scale, const MeterFonts &fonts) {
  DrawWarningZone(canvas, scale);
  DrawTicks(canvas, scale);
  DrawLabels(canvas, scale, fonts);
}
