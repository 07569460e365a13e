// The front panel and the service keyboard through kestra-sim: the byte link
// to the panel's controller and its schedule, the supply readings, the lines
// the unit drives and leaves alone, key events, and the keyboard's actions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "tests/support/sim_report.h"

namespace {
struct Timed {
  double t;
  std::vector<int> values;
};

// Objects of the report's panel section in array `name`: their time and
// the listed integer fields.
std::vector<Timed> PanelArray(const std::string &report, const std::string &name,
                              const std::string &fields) {
  std::string panel = ReportSection(report, "panel");
  size_t at = panel.find("\"" + name + "\":[");
  std::string array = at == std::string::npos ? "" : panel.substr(at, panel.find(']', at) - at);
  std::vector<Timed> items;
  std::regex item("\\{\"t\":([0-9.e+-]+)," + fields + "\\}");
  for (std::sregex_iterator it(array.begin(), array.end(), item), end; it != end; ++it) {
    Timed x{std::stod((*it)[1]), {}};
    for (size_t i = 2; i < it->size(); i++) x.values.push_back(std::stoi((*it)[i]));
    items.push_back(x);
  }
  return items;
}

bool Has(const std::string &text, const std::string &what) {
  return text.find(what) != std::string::npos;
}

int Count(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}
}  // namespace

// The keyboard stays idle here: the run ends by its duration, in order. The
// machine may stall the run for seconds: times are checked only from below
// (the unit's own pauses), keys against a 2 s long press.
TEST(FrontPanel, LinkScheduleSuppliesLinesAndKeysAgainstTheSimulatedPanel) {
  const char *scenario =
      "2 panel supply amp 13.8\n2 panel supply 12 11.9\n"
      "3 panel press 6 0.2\n4 panel press 6 4.0\n"
      "8.5 panel press 1 0.2\n9 panel press 4 0.2\n9.5 panel press 6 0.2\n10 panel press 3 5.0\n"
      "16 panel bounce 6 3\n17 panel bounce 6 4\n18 panel bounce 6 4\n";
  ScenarioRun r = RunSimScenario("front-panel", "WebSocket: 0\nBTN_longpress_Time: 20\n", scenario,
                                 22, "", true);
  EXPECT_EQ(r.run.exitStatus, 0) << r.run.output;
  std::string log = ReadTextFile(r.root + "/var/log/kestra.log");
  EXPECT_TRUE(Has(log, "Communicator joined Key end")) << log;
  std::filesystem::remove_all(r.root);
  std::string panel = ReportSection(r.report, "panel");
  ASSERT_FALSE(panel.empty()) << r.report;

  // The link: 0xB0 first, then the rotation with its empty slot; the
  // start-up's 0xC5 after its 1 s pause, the countdown's 0xB5 at 4 and at 0.
  std::vector<Timed> sent = PanelArray(r.report, "commands", "\"byte\":([0-9]+)");
  ASSERT_GE(sent.size(), 12u);
  EXPECT_EQ(sent[0].values[0], 0xB0);
  EXPECT_EQ(sent[1].values[0], 0xD1);
  std::vector<double> c5, b5, gaps, afterD0;
  std::vector<int> rotation;
  for (size_t i = 0; i < sent.size(); i++) {
    int byte = sent[i].values[0];
    if (byte == 0xC5) c5.push_back(sent[i].t - sent[0].t);
    if (byte == 0xB5) b5.push_back(sent[i].t - sent[0].t);
    if ((byte & 0xF0) == 0xD0) rotation.push_back(byte);
    if (i < 2) continue;
    gaps.push_back(sent[i].t - sent[i - 1].t);
    if (sent[i - 1].values[0] == 0xD0 && byte == 0xD1) afterD0.push_back(gaps.back());
  }
  ASSERT_EQ(c5.size(), 1u);
  ASSERT_EQ(b5.size(), 2u);
  EXPECT_GT(c5[0], 0.9);
  EXPECT_GT(b5[0], 8.0);
  EXPECT_GT(b5[1], 12.0);
  for (size_t i = 0; i < rotation.size(); i++) EXPECT_EQ(rotation[i], 0xD0 + int(i + 1) % 4) << i;
  double median = Median(gaps);
  EXPECT_GT(median, 0.3);
  EXPECT_LT(median, 0.8);
  EXPECT_GT(Median(afterD0), 1.5 * median);  // the empty slot
  EXPECT_TRUE(Has(panel, "\"framingErrors\":0"));

  // The readings reach the unit; 13.8 V through the 60 W divider.
  std::string controller = ReportSection(r.report, "controller");
  EXPECT_TRUE(Has(controller, "\"panelReply\":[21,140,177,163]")) << controller;
  std::smatch volts;
  ASSERT_TRUE(std::regex_search(controller, volts, std::regex("\"ampSupplyVolts\":([0-9.]+)")));
  EXPECT_NEAR(std::stod(volts[1]), 13.8, 0.05);

  // Hardware hygiene: the UART lines keep their function, the keys read
  // released at idle through the pull-ups the unit programmed.
  EXPECT_TRUE(Has(panel, "\"fselPreserved\":true")) << panel;
  EXPECT_TRUE(Has(panel, "\"foreignLines\":[]"));
  EXPECT_TRUE(Has(panel, "\"pullUps\":[22,23,24,25,26,27]"));
  EXPECT_TRUE(Has(panel, "\"line16\":{\"level\":1"));
  EXPECT_TRUE(Has(panel, "\"line13\":{\"level\":1"));
  EXPECT_TRUE(Has(panel, "\"keyLevels\":\"111111\""));

  // Keys: VIEW short, VIEW long (and nothing at its release); BACK, TUNE and
  // MANUAL lead to the manual-tune screen, where "up L" held gives a long
  // press, a growing run of repeats and a short press at release; the
  // bounces deliver nothing.
  std::vector<Timed> keys =
      PanelArray(r.report, "keyEvents", "\"key\":([0-9]+),\"hold\":([0-9]+),\"repeat\":([0-9]+)");
  ASSERT_GE(keys.size(), 7u) << panel;
  EXPECT_EQ(keys[0].values, (std::vector<int>{6, 0, 0}));
  EXPECT_EQ(keys[1].values, (std::vector<int>{6, 32, 0}));
  EXPECT_EQ(keys[2].values, (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(keys[3].values, (std::vector<int>{4, 0, 0}));
  EXPECT_EQ(keys[4].values, (std::vector<int>{6, 0, 0}));
  EXPECT_EQ(keys[5].values, (std::vector<int>{3, 4, 1}));
  int repeats = 0;
  size_t i = 6;
  for (; i < keys.size() && keys[i].values == std::vector<int>{3, 4, 1}; i++) repeats++;
  EXPECT_GE(repeats, 5);
  ASSERT_LT(i, keys.size());
  EXPECT_EQ(keys[i].values, (std::vector<int>{3, 0, 0}));
  EXPECT_EQ(keys.size(), i + 1);  // nothing after: the bounces are noise
  // Where the keys led: the second main window, the manual-tune screen.
  EXPECT_TRUE(Has(controller, "\"mainWindow\":2,")) << controller;
  EXPECT_TRUE(Has(controller, "\"uiState\":4,"));
}

TEST(FrontPanel, KeyboardServiceKeysAndF12EndTheUnitInOrder) {
  // The seeded settings lack most keys: F11 writes them all.
  SimScenario s;
  s.name = "keyboard";
  s.setup = "WebSocket: 0\n";
  s.scenario =
      "3 keyboard press SYSRQ\n3.5 keyboard press F10\n4 keyboard hold F11 1.0\n"
      "5.5 keyboard press 30\n6.5 keyboard press F12\n";
  s.seconds = 120;
  s.keep = true;
  ScenarioRun r = RunSimScenario(s);
  EXPECT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_LT(r.run.seconds, 75) << "F12 did not end the unit";
  std::string log = ReadTextFile(r.root + "/var/log/kestra.log");
  EXPECT_TRUE(Has(log, "Exited by KEY_F12")) << log;
  EXPECT_TRUE(Has(log, "Communicator joined Key end"));
  EXPECT_TRUE(Has(r.run.output, "Closed!"));
  EXPECT_EQ(Count(log, "Save setup"), 1);
  EXPECT_TRUE(Has(ReadTextFile(r.root + "/opt/set/setup.txt"), "Peak_Time: 3000\n"));
  EXPECT_EQ(Count(ReadTextFile(r.root + "/var/sim/fbgrab"), "\n"), 1);
  EXPECT_EQ(Count(ReadTextFile(r.root + "/var/sim/sshshell"), "\n"), 1);
  std::filesystem::remove_all(r.root);
  std::string controller = ReportSection(r.report, "controller");
  std::smatch flags;
  ASSERT_TRUE(std::regex_search(controller, flags, std::regex("\"ctrlFlags\":([0-9]+)")))
      << r.report;
  EXPECT_TRUE(std::stoi(flags[1]) & 2);  // the remote-service request
}
