// The screens an operator reads, through kestra-sim's snapshots and the
// texts of the frames they show: meters, plot, status area, error tiles and
// the information page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "tests/support/screen_report.h"
#include "tests/support/sim_report.h"
#include "ui/meters.h"

namespace {
constexpr int RED = 0xFF0000, GRID = 0x787878, TX_RED = 0xFA0000, ORANGE = 0xFA9600;

struct Snapshot {
  RgbImage image;
  std::vector<ReportText> texts;
};

Snapshot Take(const ScenarioRun &r, const std::string &name) {
  std::string file = r.root + "/" + name + ".png";
  return {ReadPng(file), SnapshotTexts(r.report, file)};
}

int Count(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

// The red needle from `pivotX` lies on the line to the tip the meter's
// formula gives for a value in [low, high] (the shown text's rounding), one
// pixel either side, at a third, half and two thirds of its length.
void ExpectNeedle(const RgbImage &image, int pivotX, double low, double high, double fullScale) {
  NeedlePoint a = NeedleTip(pivotX, PIVOT_Y, float(NeedleAngle(low, fullScale)));
  NeedlePoint b = NeedleTip(pivotX, PIVOT_Y, float(NeedleAngle(high, fullScale)));
  for (double s : {0.33, 0.5, 0.67}) {
    int y = int(PIVOT_Y + s * (a.y - PIVOT_Y));
    double xa = pivotX + (a.x - pivotX) * (y - PIVOT_Y) / (a.y - PIVOT_Y);
    double xb = pivotX + (b.x - pivotX) * (y - PIVOT_Y) / (b.y - PIVOT_Y);
    bool found = false;
    for (int x = int(std::floor(std::min(xa, xb))) - 1; x <= int(std::ceil(std::max(xa, xb))) + 1;
         x++)
      found = found || image.At(x, y) == RED;
    EXPECT_TRUE(found) << "no needle near x " << xa << ".." << xb << " on row " << y;
  }
}

// The value of a "%02.01fW"-style text, and the range its rounding hides.
void ExpectNeedleForText(const Snapshot &s, int pivotX, const std::string &text, double fullScale) {
  ASSERT_FALSE(text.empty());
  double v = std::stod(text);
  ExpectNeedle(s.image, pivotX, v - 0.05, v + 0.05, fullScale);
}

void ExpectGrid(const Snapshot &s, int columns, const char *left, const char *right) {
  for (int i = 0; i < 10; i++) EXPECT_EQ(s.image.At(100, 60 + 17 * i), GRID) << "row " << i;
  for (int i = 0; i <= columns; i++)
    EXPECT_EQ(s.image.At(70 + 688 / columns * i, 100), GRID) << "column " << i;
  EXPECT_EQ(TextAt(s.texts, 60, 243), left);
  EXPECT_EQ(TextAt(s.texts, 414, 243), "0");
  EXPECT_EQ(TextAt(s.texts, 748, 243), right);
  EXPECT_EQ(TextAt(s.texts, 35, 43), "dBm");
  EXPECT_EQ(TextAt(s.texts, 339, 52), "14.074MHz");
  auto freq = std::find_if(s.texts.begin(), s.texts.end(),
                           [](const ReportText &t) { return t.text == "14.074MHz"; });
  ASSERT_NE(freq, s.texts.end());
  EXPECT_EQ(freq->colour, ORANGE);
  EXPECT_NE(s.image.At(400, 190), TX_RED);  // no TX box over the plot
}
}  // namespace

TEST(Screens, MainWindowsStatusAreaErrorTileAndInformationPage) {
  // Each step waits for the screen it needs, so that the start-up's length
  // and the machine's load do not matter.
  ScenarioRun r = RunSimScenario(SimScenario{
      "screens",
      "WebSocket: 0\n",
      "1 antenna 1 load 100 0\n1 trx freq 14074000\n1 trx drive 3\n1 panel supply 12 11.5\n"
      "1 screen await FORWARD within 150\n+0 amp await AB0;\n"
      "+0.5 trx tx on\n+0 screen await TX\n+1 screen snapshot w1.png\n"
      "+0 unit view 2\n+0 screen await SWR\n+1 screen snapshot w2.png\n"
      "+0 unit view 3\n+0 screen await PRWIN\n+1 screen snapshot w3.png\n"
      "+0 unit view 4\n+0 screen await dBm\n+1 screen snapshot w4.png\n"
      "+0 unit view 5\n+0 screen await +40\n+1 screen snapshot w5.png\n"
      "+0 trx tx off\n+0 unit view 1\n+2 screen snapshot rx.png\n"
      "+0 trx freq 27000000\n+0 screen await NOPA\n+0.5 screen snapshot nopa.png\n"
      "+0 amp temp 2 90\n+0 screen await 2-Warning\n+0.5 screen snapshot tile.png\n"
      "+0 unit info on\n+0 screen await VERSION\n"
      "+0.5 screen snapshot info.png\n+2.5 screen snapshot info2.png\n"
      "+0 sim stop\n",
      240,
      {},
      true,
      true});
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_EQ(r.report.find("\"error\":"), std::string::npos) << "a step failed";

  // Window 1 while transmitting into 100 Ω: forward and reflected needles,
  // the TX box.
  Snapshot w1 = Take(r, "w1");
  ASSERT_TRUE(w1.image.Loaded());
  EXPECT_EQ(TextAt(w1.texts, 155, 160), "FORWARD");
  EXPECT_EQ(TextAt(w1.texts, 535, 160), "REFLECTED");
  ExpectNeedleForText(w1, FWD_PIVOT_X, TextAt(w1.texts, 180, 180), 60);
  ExpectNeedleForText(w1, AUX_PIVOT_X, TextAt(w1.texts, 565, 180), 60);
  EXPECT_GT(std::stod(TextAt(w1.texts, 180, 180)), 20);
  EXPECT_EQ(w1.image.At(400, 190), TX_RED);
  EXPECT_EQ(TextAt(w1.texts, 390, 200), "TX");

  // Window 2: the SWR of a 2:1 mismatch on the conversion table's scale.
  Snapshot w2 = Take(r, "w2");
  EXPECT_EQ(TextAt(w2.texts, 570, 160), "SWR");
  std::string swr = TextAt(w2.texts, 580, 180);
  ASSERT_FALSE(swr.empty());
  EXPECT_NEAR(std::stod(swr), 2.0, 0.15);
  ExpectNeedle(w2.image, AUX_PIVOT_X, CalcolaSWR(std::stof(swr) - 0.05f),
               CalcolaSWR(std::stof(swr) + 0.05f), 60);
  EXPECT_EQ(w2.image.At(400, 190), TX_RED);

  Snapshot w3 = Take(r, "w3");
  EXPECT_EQ(TextAt(w3.texts, 560, 160), "PRWIN");
  ExpectNeedleForText(w3, AUX_PIVOT_X, TextAt(w3.texts, 570, 180), 60);

  // Windows 4 and 5: the plot of both spans.
  ExpectGrid(Take(r, "w4"), 16, "-80", "+80");
  ExpectGrid(Take(r, "w5"), 8, "-40", "+40");

  // Receiving again: no TX box; the status area of 20 m on the factory table.
  Snapshot rx = Take(r, "rx");
  EXPECT_NE(rx.image.At(400, 190), TX_RED);
  EXPECT_EQ(TextAt(rx.texts, 10, 298), "KRVTAVO");
  EXPECT_EQ(TextAt(rx.texts, 125, 298), "  Coax:RTX");
  EXPECT_EQ(TextAt(rx.texts, 275, 298), "Band:20m");
  EXPECT_EQ(TextAt(rx.texts, 415, 298), "Att 0dB");
  EXPECT_EQ(TextAt(rx.texts, 535, 298), "Ant 1");
  EXPECT_EQ(TextAt(rx.texts, 615, 298), "Atu: On");
  EXPECT_EQ(TextAt(rx.texts, 725, 298), "Local");
  EXPECT_EQ(TextAt(rx.texts, 415, 327).rfind("PA Voltage: 13.8V ", 0), 0u);
  for (int x : {1, 110, 115, 260, 265, 400, 405, 520, 525, 600, 605, 710, 715, 799})
    EXPECT_EQ(rx.image.At(x, 281), 0xC8C8C8) << x;
  EXPECT_EQ(TextAt(Take(r, "nopa").texts, 275, 298), "NOPA");

  // A hot heat sink: its warning tile at the right, both caption lines.
  Snapshot tile = Take(r, "tile");
  EXPECT_EQ(tile.image.At(700, 400), ORANGE);
  EXPECT_EQ(tile.image.At(665, 390), 0xFFFFFF);
  EXPECT_FALSE(TextAt(tile.texts, 669, 390).empty());
  EXPECT_FALSE(TextAt(tile.texts, 669, 410).empty());

  // The information page: versions, identification, temperatures; its clock
  // runs.
  Snapshot info = Take(r, "info");
  EXPECT_EQ(TextAt(info.texts, 5, 110), "VERSION");
  EXPECT_EQ(TextAt(info.texts, 180, 110), "SW ver. 00.063, FW ver. 1.07.03");
  EXPECT_EQ(TextAt(info.texts, 180, 132), "A6-0012345 (REV B), TYPE: EU, MAXPOWER: 60W");
  EXPECT_EQ(TextAt(info.texts, 180, 176).rfind("27000000Hz(", 0), 0u);
  std::string temps = TextAt(info.texts, 180, 198);
  size_t heatSink = temps.find("Thsk:");
  ASSERT_NE(heatSink, std::string::npos) << temps;
  EXPECT_GT(std::stod(temps.substr(heatSink + 5)), 60) << temps;
  EXPECT_EQ(TextAt(info.texts, 180, 352), "ver. 15, V12: 11.5V, V15: 15.0V, Vamp: 13.8V");
  EXPECT_EQ(TextAt(info.texts, 669, 390), "");  // no tiles over the page
  std::string clock = TextAt(info.texts, 300, 400);
  EXPECT_EQ(clock.size(), 19u);
  EXPECT_NE(TextAt(Take(r, "info2").texts, 300, 400), clock);
  std::filesystem::remove_all(r.root);
}

// A 120 W unit in a generic bank with Fahrenheit, dBm and the debug lines;
// the information page runs the extended-IO link while it is open.
TEST(Screens, UnitsDebugLinesAndTheInformationPageInAGenericBank) {
  std::string openAndClose =
      "+0 unit info on\n+0 screen await VERSION\n"
      "+0 unit info off\n+0 screen await FORWARD\n";
  // The page shows the power class once the amplifier has told it.
  ScenarioRun r = RunSimScenario(SimScenario{
      "screens-generic",
      "WebSocket: 0\nTempMode: 1\nPowerUnits: 1\nEnableDebug: 1\n",
      "0 amp class 120\n1 radio freq 14074000\n1 antenna 1 load 50 0\n1 radio drive 3.6\n"
      "1 screen await FORWARD within 150\n+0 amp await AB0;\n+0 unit info on\n"
      "+0 screen await A6-0012345 (REV B), TYPE: EU, MAXPOWER: 120W\n"
      "+0.5 screen snapshot info.png\n+0 unit info off\n+0 screen await FORWARD\n"
      "+1 screen snapshot main.png\n" +
          openAndClose + openAndClose + "+0.5 screen snapshot after.png\n+0 sim stop\n",
      240,
      {{"opt/set/antenna_b1.txt", "!Gen\n20m 14000000 14350000 1 1 0 0 0.0\n"}},
      true,
      true});
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_EQ(r.report.find("\"error\":"), std::string::npos) << "a step failed";

  Snapshot main = Take(r, "main");
  ASSERT_TRUE(main.image.Loaded());
  std::string forward = TextAt(main.texts, 180, 180);
  ASSERT_NE(forward.find("dBm"), std::string::npos) << forward;
  double watts = std::pow(10, std::stod(forward) / 10) / 1000;
  EXPECT_GT(watts, 60);  // more than the 60 W scale holds: the 120 W scale shows it
  ExpectNeedle(main.image, FWD_PIVOT_X, watts * 0.985, watts * 1.015, 120);
  EXPECT_NE(TextAt(main.texts, 10, 327).find("°F"), std::string::npos);
  EXPECT_EQ(TextAt(main.texts, 10, 298), "Generic");
  auto debug = std::find_if(main.texts.begin(), main.texts.end(),
                            [](const ReportText &t) { return t.x == 5 && t.y == 275; });
  ASSERT_NE(debug, main.texts.end());
  EXPECT_EQ(debug->text.rfind("PW ", 0), 0u);
  EXPECT_EQ(debug->colour, 0xFA0000);
  EXPECT_EQ(TextAt(main.texts, 500, 275).rfind("freq 14074000 ", 0), 0u);

  Snapshot info = Take(r, "info");
  EXPECT_NE(TextAt(info.texts, 180, 132).find("MAXPOWER: 120W"), std::string::npos);
  EXPECT_NE(TextAt(info.texts, 180, 198).find("°F"), std::string::npos);
  EXPECT_EQ(TextAt(info.texts, 180, 176).rfind("14074000Hz(", 0), 0u);

  // Each link start (a page open for at least one pass) ends again when the
  // page closes; the screen kept refreshing.
  int starts = Count(r.run.output, "TAVOread start\n");
  EXPECT_GE(starts, 1);
  EXPECT_EQ(Count(r.run.output, "Serial EXIT"), starts);
  EXPECT_NE(ReportSection(r.report, "transceiver").find("\"blocksSent\":"), std::string::npos);
  EXPECT_EQ(ReportSection(r.report, "transceiver").find("\"blocksSent\":0,"), std::string::npos);
  Snapshot after = Take(r, "after");
  EXPECT_NE(TextAt(after.texts, 180, 180).find("dBm"), std::string::npos);
  std::filesystem::remove_all(r.root);
}
