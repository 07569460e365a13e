#include "pictures.h"

#include <algorithm>
#include <cmath>

#include "meter.h"

namespace {
// The colour scheme: a dark chassis, warm ivory meter faces with black ink,
// and the amber that the program uses for its captions.
const Rgb CHASSIS_TOP{22, 27, 33}, CHASSIS_BOTTOM{11, 14, 18};
const Rgb BAR_TOP{36, 43, 51}, BAR_BOTTOM{25, 30, 37}, HAIRLINE{62, 72, 84};
const Rgb PANEL{21, 26, 32}, PANEL_EDGE{52, 61, 72}, BAND{29, 35, 43}, BAND_STRONG{38, 46, 56};
const Rgb AMBER{250, 150, 0}, MUTED{150, 160, 172};
const Rgb IVORY_TOP{246, 240, 224}, IVORY_BOTTOM{228, 218, 192}, FACE_EDGE{120, 108, 82};
const Rgb RECESS{221, 210, 182}, RECESS_EDGE{160, 146, 114};
const Rgb WORDMARK_TOP{244, 246, 248}, WORDMARK_BOTTOM{186, 194, 204};

void Chassis(Canvas &c) {
  c.VerticalGradient(0, 0, c.Width(), c.Height(), CHASSIS_TOP, CHASSIS_BOTTOM);
}

// The bar behind the program's top line (network text and clock, right).
void TopBar(Canvas &c, const PictureFonts &f, const char *title) {
  c.VerticalGradient(0, 0, c.Width(), 25, BAR_TOP, BAR_BOTTOM);
  c.FillRect(0, 25, c.Width(), 26, HAIRLINE);
  c.Text({&f.brand, AMBER, 2}, "KESTRA", 10, 18, Align::Left);
  if (*title) c.Text({&f.caption, MUTED, 1.5}, title, 96, 18, Align::Left);
}

// Below the status area the program draws its six buttons.
void ButtonWell(Canvas &c) { c.FillRect(0, 417, c.Width(), c.Height(), Rgb{8, 10, 13}); }

void Panel(Canvas &c, double x0, double y0, double x1, double y1) {
  c.RoundRect(x0, y0, x1, y1, 8, PANEL);
  c.RoundRectOutline(x0, y0, x1, y1, 8, 1, PANEL_EDGE);
}

// A recessed window in the meter face (frequency read-out, TX lamp).
void Recess(Canvas &c, double x0, double y0, double x1, double y1) {
  c.RoundRect(x0, y0, x1, y1, 4, RECESS);
  c.RoundRectOutline(x0, y0, x1, y1, 4, 1, RECESS_EDGE);
  c.Line({x0 + 4, y0 + 1.5}, {x1 - 4, y0 + 1.5}, 1, RECESS_EDGE, 0.35);
}

void PivotCap(Canvas &c, Point pivot) {
  Point centre{pivot.x + 0.5, pivot.y + 0.5};
  c.Disc({centre.x, centre.y + 1}, 10, Rgb{0, 0, 0}, 0.25);
  c.Disc(centre, 9, Rgb{44, 44, 48});
  c.Disc(centre, 4, Rgb{110, 110, 118});
}

// Two meters on one ivory face; the program writes their names, values and
// the frequency over it in black.
void MeterScreen(Canvas &c, const PictureFonts &f, const MeterScale &left,
                 const MeterScale &right) {
  Chassis(c);
  TopBar(c, f, "");
  c.RoundRect(6, 30, 794, 274, 10, Rgb{0, 0, 0}, 0.45);
  Mask face(6, 29, 795, 274);
  face.AddRoundRect(6, 29, 794, 273, 10);
  c.Paint(face, [](int, int y) { return Mix(IVORY_TOP, IVORY_BOTTOM, (y - 29) / 244.0); });
  c.RoundRectOutline(6, 29, 794, 273, 10, 1.2, FACE_EDGE);
  Recess(c, 331, 31, 469, 59);
  Recess(c, 372, 172, 432, 212);
  c.Text({&f.lamp, Rgb{196, 184, 156}}, "TX", 390, 200, Align::Left);
  MeterFonts fonts{f.numbers, f.symbols, f.legend};
  DrawMeterScale(c, left, fonts);
  DrawMeterScale(c, right, fonts);
  PivotCap(c, left.pivot);
  PivotCap(c, right.pivot);
  c.Text({&f.brand, Rgb{168, 156, 128}, 3}, "KESTRA", 400, 262, Align::Centre);
  ButtonWell(c);
}

void DrawImg1(Canvas &c, const PictureFonts &f) {
  MeterScreen(c, f, PowerScale(FORWARD_PIVOT, 60), PowerScale(AUX_PIVOT, 60));
}
void DrawImg1b(Canvas &c, const PictureFonts &f) {
  MeterScreen(c, f, PowerScale(FORWARD_PIVOT, 120), PowerScale(AUX_PIVOT, 60));
}
void DrawImg3(Canvas &c, const PictureFonts &f) {
  MeterScreen(c, f, PowerScale(FORWARD_PIVOT, 60), SwrScale(AUX_PIVOT));
}
void DrawImg3b(Canvas &c, const PictureFonts &f) {
  MeterScreen(c, f, PowerScale(FORWARD_PIVOT, 120), SwrScale(AUX_PIVOT));
}

// The plot area of the spectrum modes: the program draws the grid from
// x 70 to 758 and y 60 to 230, the levels to the left and the offsets below.
void DrawM5a(Canvas &c, const PictureFonts &f) {
  Chassis(c);
  TopBar(c, f, "SPECTRUM");
  // A bay without an upper edge: the program's "dBm" sits right under the bar.
  c.FillRect(0, 26, c.Width(), 272, PANEL);
  c.FillRect(0, 272, c.Width(), 273, PANEL_EDGE);
  c.FillRect(70, 60, 759, 231, Rgb{6, 9, 13});
  c.VerticalGradient(70, 60, 759, 90, Rgb{12, 18, 24}, Rgb{6, 9, 13});
  c.Text({&f.legend, MUTED, 2}, "FREQUENCY OFFSET  kHz", 414, 264, Align::Centre);
  ButtonWell(c);
}

// Rows of the memory and filter tables: title at y 50, column header at
// y 100, lines every 22 pixels from y 130. Also the main screen while the
// unit starts.
void DrawStatusB(Canvas &c, const PictureFonts &f) {
  Chassis(c);
  TopBar(c, f, "");
  Panel(c, 6, 30, 794, 410);
  c.FillRect(7, 82, 793, 106, BAND_STRONG);
  for (int row = 0; row < 12; row++) {
    int top = 113 + 22 * row;
    if (row % 2 == 0) c.FillRect(7, top, 793, top + 22, BAND);
  }
  c.FillRect(20, 64, 780, 65, AMBER, 0.55);
  ButtonWell(c);
}

// The information page: a label at x 5 and a value at x 180 on every
// 22-pixel row from y 110.
void DrawStatus(Canvas &c, const PictureFonts &f) {
  Chassis(c);
  TopBar(c, f, "INFORMATION");
  Panel(c, 2, 30, 798, 366);
  c.Text({&f.heading, AMBER, 3}, "UNIT INFORMATION", 14, 62, Align::Left);
  c.FillRect(14, 72, 786, 73, AMBER, 0.55);
  for (int row = 0; row < 12; row++) {
    int top = 92 + 22 * row;
    if (row % 2 == 0) c.FillRect(3, top, 797, top + 22, BAND);
    c.FillRect(3, top, 172, top + 22, BAND_STRONG, 0.55);
  }
  ButtonWell(c);
}

// The splash: a meter scale over the name. The program writes the countdown
// and the closing message at y 400.
void Splash(Canvas &c, const PictureFonts &f, const char *badge) {
  c.VerticalGradient(0, 0, c.Width(), c.Height(), Rgb{9, 12, 17}, Rgb{24, 31, 40});
  Point centre{400, 374};
  constexpr double RADIUS = 270;
  for (int i = 0; i <= 40; i++) {
    double t = i / 40.0, a = (125 - 70 * t) * M_PI / 180;
    Rgb colour = t < 0.75 ? Mix(Rgb{96, 108, 122}, AMBER, t / 0.75)
                          : Mix(AMBER, Rgb{220, 50, 30}, (t - 0.75) / 0.25);
    double inner = RADIUS - (i % 5 == 0 ? 22 : 12);
    c.Line({centre.x + inner * cos(a), centre.y - inner * sin(a)},
           {centre.x + RADIUS * cos(a), centre.y - RADIUS * sin(a)}, i % 5 == 0 ? 3 : 1.6, colour);
  }
  std::vector<Point> arc;
  for (int i = 0; i <= 200; i++) {
    double a = (125 - 70 * i / 200.0) * M_PI / 180;
    arc.push_back({centre.x + (RADIUS + 6) * cos(a), centre.y - (RADIUS + 6) * sin(a)});
  }
  c.Polyline(arc, 1.4, Rgb{96, 108, 122});
  Mask word = TextMask({&f.title, WORDMARK_TOP, 14}, "KESTRA", 407, 262, Align::Centre);
  c.Paint(word, [](int, int y) {
    return Mix(WORDMARK_TOP, WORDMARK_BOTTOM, std::clamp((y - 190) / 72.0, 0.0, 1.0));
  });
  for (int x = 230; x < 570; x++) {
    double fade = 1 - std::abs(x - 400) / 170.0;
    c.FillRect(x, 283, x + 1, 285, AMBER, std::min(1.0, fade * 2.5));
  }
  c.Text({&f.subtitle, Rgb{176, 186, 198}, 2.5},
         "HF LINEAR AMPLIFIER  \xC2\xB7  AUTOMATIC ANTENNA TUNER", 400, 318, Align::Centre);
  if (*badge) {
    TextStyle style{&f.badge, AMBER, 1};
    double w = TextWidth(style, badge) + 28;
    c.RoundRectOutline(400 - w / 2, 334, 400 + w / 2, 362, 6, 1.6, AMBER);
    c.Text(style, badge, 400, 355, Align::Centre);
  }
}

void DrawStart(Canvas &c, const PictureFonts &f) { Splash(c, f, ""); }
void DrawStart120(Canvas &c, const PictureFonts &f) { Splash(c, f, "120 W"); }
}  // namespace

PictureFonts::PictureFonts(const std::string &dir)
    : brand(dir + "/DejaVuSans-Bold.ttf", 14),
      caption(dir + "/DejaVuSans.ttf", 12),
      heading(dir + "/DejaVuSans-Bold.ttf", 16),
      numbers(dir + "/DejaVuSans-Bold.ttf", 15),
      symbols(dir + "/DejaVuSans-Bold.ttf", 24),
      legend(dir + "/DejaVuSans.ttf", 11),
      lamp(dir + "/DejaVuSans.ttf", 20),
      title(dir + "/DejaVuSans-Bold.ttf", 92),
      subtitle(dir + "/DejaVuSans.ttf", 16),
      badge(dir + "/DejaVuSans-Bold.ttf", 18) {}

bool PictureFonts::Loaded() const {
  for (const Font *font :
       {&brand, &caption, &heading, &numbers, &symbols, &legend, &lamp, &title, &subtitle, &badge})
    if (!font->Loaded()) return false;
  return true;
}

const std::vector<PictureDef> &Pictures() {
  static const std::vector<PictureDef> pictures = {
      {"start", DrawStart},   {"start120", DrawStart120}, {"statusB", DrawStatusB},
      {"status", DrawStatus}, {"img1", DrawImg1},         {"img1b", DrawImg1b},
      {"img3", DrawImg3},     {"img3b", DrawImg3b},       {"m5a", DrawM5a},
  };
  return pictures;
}
