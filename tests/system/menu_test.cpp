// The menu through the simulated front panel, in one run: browsing and its
// wrap, edits of the long-press time, the target SWR and an alarm saved and
// in effect, an octet of the address saved into the system's network file,
// the filter and memory tables, and the factory reset while the amplifier
// keeps being polled. Every step waits for what it brings about.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "sim/world/factory_files.h"
#include "tests/support/screen_report.h"
#include "tests/support/sim_report.h"

namespace {
// Each press waits for what it brings about before the next one, so a busy
// host can neither merge two presses nor drop one unnoticed.
// A short press is taken on its release, so the next one may follow at once.
// A long press (1.5 s) is taken once it has lasted the long-press time, while
// the key is still down: a second later the key is up, and its release must
// not have acted.
std::string Key(int key, const std::string &then, double seconds = 0.25) {
  std::string press = "+0.1 panel press " + std::to_string(key) + " " + std::to_string(seconds);
  std::string released = seconds > 1 ? "+1 " + then + "\n" : "";
  return press + "\n+0 " + then + "\n" + released;
}
// A press whose effect shows nowhere: the next step comes once it is over.
std::string Blind(int key, const std::string &then) {
  return "+0.1 panel press " + std::to_string(key) + " 0.25\n+0.5 " + then + "\n";
}
std::string Keys(int key, const std::vector<std::string> &thens) {
  std::string s;
  for (const std::string &then : thens) s += Key(key, then);
  return s;
}
constexpr int BACK = 1, UP = 3, DOWN = 4, ENTER = 6, RIGHT = 3, MINUS = 4, PLUS = 5;
constexpr int MENU_ROWS = 30;
std::string Shown(const std::string &text) { return "screen await " + text + " within 30"; }
std::string Field(const std::string &name, int value) {
  return "unit await " + name + " " + std::to_string(value) + " within 30";
}
std::string State(int state) { return Field("uiState", state); }
// `times` presses of UP or DOWN from menu row `from`, each awaiting its row.
std::string Rows(int key, int from, int times) {
  std::string s;
  for (int i = 1; i <= times; i++)
    s += Key(key, Field("menuIndex", (from + (key == UP ? -i : i) + MENU_ROWS) % MENU_ROWS));
  return s;
}
int Count(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}
}  // namespace

TEST(Menu, EditsSavesTablesAndFactoryResetThroughThePanel) {
  std::string s = "1 screen await FORWARD within 150\n";
  // SET, UP wraps to the last row, DOWN back to the first.
  s += Key(5, Shown("Max Banks Number")) + "+0.3 screen snapshot strip.png\n";
  s += Rows(UP, 0, 1) + Rows(DOWN, 29, 1);
  // Long press 2.0 s -> 1.0 s, saved with ENTER.
  s += Rows(DOWN, 0, 3) + Key(ENTER, State(2));
  for (int tenths = 9; tenths >= 0; tenths--)
    s += Key(MINUS, Shown("1." + std::to_string(tenths) + "sec"));
  s += Key(ENTER, State(1));
  // Target SWR off -> 1.00 -> 1.01.
  s += Rows(DOWN, 3, 6) + Key(ENTER, State(2));
  s += Keys(PLUS, {Shown("1.00"), Shown("1.01")}) + Key(ENTER, State(1));
  // P1 alarm 60.00 -> 59.80.
  s += Rows(DOWN, 9, 13) + Key(ENTER, State(2));
  s += Keys(MINUS, {Shown("59.90°C"), Shown("59.80°C")}) + Key(ENTER, State(1));
  // IP: the last octet + 1, saved.
  s += Rows(UP, 22, 4) + Key(ENTER, State(2)) + Key(PLUS, Shown("11"));
  s += "+0.3 screen snapshot address.png\n" + Key(ENTER, State(1));
  // The filter table: row 1 disabled, row 2 enabled, ESC.
  s += Rows(UP, 18, 17) + Key(ENTER, State(2)) + Key(PLUS, Shown("ON"));
  s += Key(ENTER, State(12)) + "+0.3 screen snapshot filters.png\n";
  s += Key(6, Shown("Off")) + Key(3, Field("filterRow", 1)) + Blind(5, State(12));
  s += Key(BACK, State(0));
  // The new long-press time: VIEW held 1.5 s opens the information pages.
  s += Key(6, State(13), 1.5) + Key(BACK, State(0));
  // The memory table: row 1's attenuator one step up, saved.
  s += Key(1, State(6), 1.5) + "+0 screen snapshot memory.png\n";
  s += Key(ENTER, State(7)) + Key(RIGHT, Field("tableColumn", 1)) + Blind(4, State(7));
  s += Blind(6, State(7)) + Key(BACK, State(6)) + Key(BACK, State(0));
  // The factory reset: row 25 from row 1 is six rows up.
  s += Key(5, Shown("Rx Filters Settings")) + Rows(UP, 1, 6);
  s += Key(ENTER, State(2)) + Key(PLUS, Shown("Set Default")) + Key(ENTER, State(1));
  s += "+0 " + Shown("No Default") + "\n+3 sim stop\n";
  ScenarioRun r = RunSimScenario(SimScenario{"menu",
                                             "WebSocket: 0\nBTN_longpress_Time: 20\n",
                                             s,
                                             400,
                                             {{"opt/set/antenna_b2.txt", "!Tavo\n"}},
                                             true,
                                             true});
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_EQ(r.report.find("\"error\":"), std::string::npos) << "a step failed";
  std::string setup = ReadTextFile(r.root + "/opt/set/setup.txt");
  std::string interfaces = ReadTextFile(r.root + "/etc/network/interfaces");
  std::string calls = ReadTextFile(r.root + "/var/sim/network");
  std::string filters = ReadTextFile(r.root + "/opt/set/filter.txt");
  bool bankFileLeft = std::filesystem::exists(r.root + "/opt/set/antenna_b2.txt");
  std::string output = r.run.output;

  // The strip: the current row, its neighbours wrapped around.
  std::vector<ReportText> strip = SnapshotTexts(r.report, r.root + "/strip.png");
  EXPECT_EQ(TextAt(strip, 350, 335), "Max Banks Number");
  EXPECT_EQ(TextAt(strip, 350, 305), "Turn Off Hardware");
  EXPECT_EQ(TextAt(strip, 350, 360), "Rx Filters Settings");
  // The network file differs only in the address line; down, then up, once.
  std::string expected = FACTORY_INTERFACES_STATIC;
  expected.replace(expected.find("address 192.168.1.10"), 20, "address 192.168.1.11");
  EXPECT_EQ(interfaces, expected);
  EXPECT_EQ(calls, "ifdown --exclude=lo -a\nifup --exclude=lo -a\n");
  // The filter table followed the keys.
  std::vector<ReportText> table = SnapshotTexts(r.report, r.root + "/filters.png");
  EXPECT_EQ(TextAt(table, 250, 50), "FILTER SETTINGS");
  std::smatch rows;
  ASSERT_TRUE(std::regex_search(
      filters, rows, std::regex("\n[0-9]+\t\t[0-9]+\t\t([01]) \n[0-9]+\t\t[0-9]+\t\t([01]) \n")))
      << filters;
  EXPECT_EQ(rows[1], "0");
  EXPECT_EQ(rows[2], "1");
  EXPECT_EQ(TextAt(SnapshotTexts(r.report, r.root + "/memory.png"), 100, 50),
            " Memory Table Bank 1 - Interface: KRVTAVO");
  // The edits were saved before the reset, which then put the defaults back.
  EXPECT_NE(setup.find("BTN_longpress_Time: 5\n"), std::string::npos) << setup;
  EXPECT_NE(setup.find("SWRescAutoTune: 0\n"), std::string::npos);
  EXPECT_NE(setup.find("MaxTemperature: 600\n"), std::string::npos);
  EXPECT_FALSE(bankFileLeft);
  // The amplifier was polled on after the reset.
  double reset = EventApplied(r.report, "+0 screen await Set Default within 30");
  ASSERT_GT(reset, 0);
  int polls = 0;
  for (const AmpFrame &f : AmplifierFrames(r.report)) polls += f.t > reset && f.text == "ST;";
  EXPECT_GT(polls, 20);  // about thirty a second
  EXPECT_EQ(Count(output, "Factory default done"), 1);
  if (!HasFailure()) std::filesystem::remove_all(r.root);
}
