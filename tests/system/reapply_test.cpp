// The whole frequency state reaches the amplifier again without a frequency
// change: after the operator picks another memory bank, and after the
// amplifier's microcontroller restarted and the error key was pressed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "tests/support/sim_report.h"
#include "tuner/tune_memory.h"

namespace {
// 20 m in bank 1: the amplifier bypassed, antenna 1, the tuner bypassed.
// In bank 2: in line, antenna 3, the stored tune, the 3 dB pad.
const char BANK1[] = "!Tavo\n20m 14000000 14350000 0 1 1 0 0.0\n";
const char BANK2[] = "!Tavo\n20m 14000000 14350000 1 3 0 2 0.0\n";
constexpr int STORED_L = 120, STORED_C = 200;

std::string StoredTune() {
  int32_t segStart, segEnd;
  int first, end;
  int idx = AtuIdxSearch(14200000, segStart, segEnd, first, end);
  return std::to_string(idx) + " 14200000 1 1 " + std::to_string(STORED_L) + " " +
         std::to_string(STORED_C) + "\n";
}

std::vector<std::string> Between(const ScenarioRun &r, const std::string &from,
                                 const std::string &to) {
  double start = EventApplied(r.report, from), stop = EventApplied(r.report, to);
  EXPECT_GE(start, 0) << from;
  EXPECT_GT(stop, start) << to;
  std::vector<std::string> texts;
  for (const AmpFrame &f : AmplifierCommands(r.report, start))
    if (f.t < stop) texts.push_back(f.text);
  return texts;
}

bool Has(const std::vector<std::string> &texts, const std::string &text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// `wanted` appear in `texts` in this order (other commands may come between).
bool InOrder(const std::vector<std::string> &texts, const std::vector<std::string> &wanted) {
  auto at = texts.begin();
  for (const std::string &w : wanted) {
    at = std::find_if(at, texts.end(), [&](const std::string &t) { return t.rfind(w, 0) == 0; });
    if (at == texts.end()) return false;
    ++at;
  }
  return true;
}

std::string Field(const std::string &section, const std::string &pattern) {
  std::smatch m;
  return std::regex_search(section, m, std::regex(pattern)) ? m[1].str() : "<missing>";
}
}  // namespace

TEST(Reapply, ABankChangeAndARestartedAmplifierBringTheBandBackWithoutAFrequencyChange) {
  SimScenario s{"reapply",
                "WebSocket: 0\n",
                "1 trx freq 14200000\n4 unit bank 2\n8 amp restart\n11 unit error-key\n",
                15,
                {{"opt/set/antenna_b1.txt", BANK1},
                 {"opt/set/antenna_b2.txt", BANK2},
                 {"opt/set/atu_ant3_b2.txt", StoredTune()}},
                true,
                false};
  ScenarioRun r = RunSimScenario(s);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;

  // Bank 2's antenna, stored tune, the amplifier in line and its pad; no
  // "FA", and the filter stays.
  std::vector<std::string> bank = Between(r, "4 unit bank 2", "8 amp restart");
  EXPECT_TRUE(InOrder(bank, {"SA3;", "MT1", "AB0;", "AT10;"})) << ::testing::PrintToString(bank);
  EXPECT_FALSE(Has(bank, "MT100800000;"));  // not the empty word: the stored one
  EXPECT_EQ(std::count_if(bank.begin(), bank.end(),
                          [](const std::string &t) {
                            return t.rfind("FA", 0) == 0 || t.rfind("SF", 0) == 0;
                          }),
            0)
      << ::testing::PrintToString(bank);

  // Until the error key the amplifier stays as the restart left it.
  std::vector<std::string> restarted = Between(r, "8 amp restart", "11 unit error-key");
  for (const char *c : {"SF3", "AB", "SA", "AT", "MT1"})
    EXPECT_FALSE(InOrder(restarted, {c})) << c << " " << ::testing::PrintToString(restarted);
  EXPECT_NE(r.run.output.find("err:16\n"), std::string::npos);

  // The reset brings the start-up commands and the whole band again.
  std::string amp = ReportSection(ReportSection(r.report, "amplifier"), "state");
  EXPECT_EQ(Field(amp, "\"bypass\":(\\w+)"), "false") << amp;
  EXPECT_EQ(Field(amp, "\"filterMask\":([0-9]+)"), "8") << amp;
  EXPECT_EQ(Field(amp, "\"antenna\":([0-9]+)"), "3") << amp;
  EXPECT_EQ(Field(amp, "\"pads\":([0-9]+)"), "2") << amp;
  EXPECT_EQ(Field(amp, "\"L\":([0-9]+)"), std::to_string(STORED_L)) << amp;
  EXPECT_EQ(Field(amp, "\"C\":([0-9]+)"), std::to_string(STORED_C)) << amp;
  // And the unit's picture agrees with it.
  std::string unit = ReportSection(r.report, "controller");
  EXPECT_EQ(Field(unit, "\"antennaIdx\":([0-9]+)"), "2") << unit;
  EXPECT_EQ(Field(unit, "\"filterMask\":([0-9]+)"), "8") << unit;
  EXPECT_EQ(Field(unit, "\"errors\":\\[([0-9,]*)\\]"), "") << unit;
  std::filesystem::remove_all(r.root);
}
