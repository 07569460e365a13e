// The two roads of the unit as an operator meets them: a frequency change
// that reaches the amplifier as filter, thresholds, antenna and tune, and an
// automatic tune that converges, is stored and comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "tests/support/sim_report.h"

namespace {
const char *SETUP = "WebSocket: 0\n";
const char *SETUP_AUTOTUNE = "WebSocket: 0\nAutoTuneMode: 1\n";

// The factory bands, with 40 m on antenna 2 and the 2 dB pad.
std::string AntennaTable(const std::string &interfaceLine) {
  return interfaceLine +
         "\n160m 1800000 2000000 1 1 0 0 0.0\n80m 3500000 4000000 1 1 0 0 0.0\n"
         "40m 7000000 7300000 1 2 0 1 0.0\n20m 14000000 14350000 1 1 0 0 0.0\n"
         "10m 28000000 29700000 1 1 0 0 0.0\n";
}

std::vector<std::string> Texts(const std::vector<AmpFrame> &frames) {
  std::vector<std::string> texts;
  for (const AmpFrame &f : frames) texts.push_back(f.text);
  return texts;
}

// The commands that follow a change to 7.1 MHz (40 m: filter 2, antenna 2,
// no stored tune, the 2 dB pad), with or without the frequency command.
void ExpectFortyMetres(const std::vector<AmpFrame> &after, bool withFrequency) {
  std::vector<std::string> texts = Texts(after);
  ASSERT_GE(texts.size(), 5u);
  size_t i = 0;
  if (withFrequency) {
    EXPECT_EQ(texts[i++], "FA00007100000;");
  }
  EXPECT_EQ(texts[i++], "SF3000004;");
  EXPECT_EQ(texts[i++].substr(0, 2), "TS");
  EXPECT_EQ(texts[i++], "SA2;");
  EXPECT_EQ(texts[i++], "MT100800000;");  // no stored tune: the empty word
  if (texts[i] == "AB0;") i++;            // the amplifier back in line, if it was not
  EXPECT_EQ(texts[i++], "AT01;");
  if (!withFrequency) {
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string &t) { return t.rfind("FA", 0) == 0; }),
              0);
  }
}

int Count(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}
}  // namespace

TEST(Roads, CompanionTransceiverFrequencyChangeReachesTheAmplifierInOrder) {
  ScenarioRun r = RunSimScenario("road-tavo", SETUP, "1 trx freq 14200000\n17 trx freq 7100000\n",
                                 20, AntennaTable("!Tavo"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  ExpectFortyMetres(AmplifierCommands(r.report, 16.9), true);
}

TEST(Roads, Ft817FrequencyChangeReachesTheAmplifierInOrder) {
  ScenarioRun r = RunSimScenario("road-817", SETUP, "1 ft817 freq 14200000\n17 ft817 freq 7100000\n",
                                 20, AntennaTable("!817"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  ExpectFortyMetres(AmplifierCommands(r.report, 16.9), true);
}

TEST(Roads, GenericCounterFrequencyChangeSendsNoFrequencyCommand) {
  ScenarioRun r = RunSimScenario("road-generic", SETUP,
                                 "1 radio freq 14200000\n17 radio freq 7100000\n17 radio drive 5\n",
                                 21, AntennaTable("!Gen"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  ExpectFortyMetres(AmplifierCommands(r.report, 16.9), false);
}

TEST(Roads, OperatorTransmissionStartsATuneThatIsStoredAndRecalled) {
  ScenarioRun r = RunSimScenario("road-tune", SETUP_AUTOTUNE,
                                 "1 antenna 1 load 25 30\n1 trx freq 7100000\n16 trx tx on\n"
                                 "40 trx freq 14200000\n44 trx freq 7100000\n",
                                 47, "", true);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  std::string controller = ReportSection(r.report, "controller");
  std::smatch swr;
  ASSERT_TRUE(std::regex_search(controller, swr, std::regex("\"swrFinale\":([0-9.]+)"))) << controller;
  EXPECT_LT(std::stod(swr[1]), 1.5);
  EXPECT_NE(controller.find("\"tuneStatus\":0"), std::string::npos) << controller;
  // The transceiver was returned to receive.
  EXPECT_NE(ReportSection(r.report, "transceiver").find("\"text\":\"RX;\""), std::string::npos);
  // The result is in the ATU file of bank 1, antenna 1: index, frequency, valid, network, L, C.
  std::string atu = ReadTextFile(r.root + "/opt/set/atu_ant1_b1.txt");
  std::smatch entry;
  ASSERT_TRUE(std::regex_search(atu, entry, std::regex("([0-9]+) 7100000 1 ([0-9]) ([0-9]+) ([0-9]+)")))
      << atu;
  // Back on 7.1 MHz the stored word is loaded with no new search.
  std::vector<AmpFrame> back = AmplifierCommands(r.report, 43.9);
  std::vector<std::string> texts = Texts(back);
  auto tune = std::find_if(texts.begin(), texts.end(),
                           [](const std::string &t) { return t.rfind("MT1", 0) == 0; });
  ASSERT_NE(tune, texts.end());
  EXPECT_NE(*tune, "MT100800000;");
  EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                          [](const std::string &t) { return t.rfind("MT1", 0) == 0; }),
            1)
      << "a new search ran";
  std::filesystem::remove_all(r.root);
}

TEST(Roads, TuneKeyAsksTheTransceiverForACarrierAndTheSearchRuns) {
  ScenarioRun r = RunSimScenario("road-key", SETUP_AUTOTUNE,
                                 "1 antenna 1 load 100 -50\n1 trx freq 14200000\n16 unit tune\n",
                                 32);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  std::string trx = ReportSection(r.report, "transceiver");
  EXPECT_NE(trx.find("\"text\":\"TU120;\""), std::string::npos) << trx;
  EXPECT_NE(trx.find("\"text\":\"TX2;\""), std::string::npos) << trx;
  EXPECT_NE(trx.find("\"text\":\"RX;\""), std::string::npos) << trx;
  std::vector<AmpFrame> after = AmplifierCommands(r.report, 16);
  EXPECT_GT(std::count_if(after.begin(), after.end(),
                          [](const AmpFrame &f) { return f.text.rfind("MT1", 0) == 0; }),
            20)
      << "the search did not step the tuner";
  std::smatch swr;
  std::string controller = ReportSection(r.report, "controller");
  ASSERT_TRUE(std::regex_search(controller, swr, std::regex("\"swrFinale\":([0-9.]+)")));
  EXPECT_LT(std::stod(swr[1]), 1.5);
}

TEST(Roads, TransceiverIgnoringTheTuneRequestGivesError14AndTheTuneIsAborted) {
  ScenarioRun r = RunSimScenario("road-ignored", SETUP_AUTOTUNE,
                                 "1 trx ignore-tune on\n1 trx freq 14200000\n16 unit tune\n", 22);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  std::string controller = ReportSection(r.report, "controller");
  EXPECT_NE(controller.find("\"tuneStatus\":0"), std::string::npos) << controller;
  std::smatch errors;
  ASSERT_TRUE(std::regex_search(controller, errors, std::regex("\"errors\":\\[([0-9,]*)\\]")));
  EXPECT_NE(("," + errors[1].str() + ",").find(",14,"), std::string::npos) << controller;
  EXPECT_EQ(Count(r.run.output, "err:14\n"), 1);
}

TEST(Roads, SilentAmplifierGivesError4AndTheUnitRecovers) {
  ScenarioRun r = RunSimScenario("road-silent", SETUP,
                                 "1 trx freq 14200000\n16 amp silence 8\n26 trx freq 7100000\n", 29,
                                 AntennaTable("!Tavo"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_NE(r.run.output.find("STOP RETRAY!!"), std::string::npos);
  EXPECT_EQ(Count(r.run.output, "err:4\n"), 1);
  // Answering again, the amplifier gets the next frequency change in full.
  ExpectFortyMetres(AmplifierCommands(r.report, 25.9), true);
}
