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
// no stored tune, the 2 dB pad), with or without the frequency command. A
// busy host may still be sending older commands when the change comes: the
// change's own start in that order.
void ExpectFortyMetres(const std::vector<AmpFrame> &after, bool withFrequency) {
  std::vector<std::string> all = WithoutResends(Texts(after));
  auto start = std::find(all.begin(), all.end(), withFrequency ? "FA00007100000;" : "SF3000004;");
  ASSERT_NE(start, all.end()) << ::testing::PrintToString(all);
  std::vector<std::string> texts(start, all.end());
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

// A quick-start run of the unit with setup.txt and, when given, the
// antenna table of bank 1.
ScenarioRun QuickRun(const std::string &name, const std::string &setup, const std::string &scenario,
                     double seconds, const std::string &antennaTable = "", bool keep = false) {
  SimScenario s{name, setup, scenario, seconds, {}, true, keep};
  if (!antennaTable.empty()) s.files.push_back({"opt/set/antenna_b1.txt", antennaTable});
  return RunSimScenario(s);
}

// The commands the amplifier received after the scenario event `event`.
std::vector<AmpFrame> CommandsAfter(const ScenarioRun &r, const std::string &event) {
  double at = EventApplied(r.report, event);
  EXPECT_GE(at, 0) << event;
  return AmplifierCommands(r.report, at);
}

int Count(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}
}  // namespace

// The unit runs about 1.5 s into a quick-start run: the change at 6 s comes
// long after the first frequency was applied.
TEST(Roads, CompanionTransceiverFrequencyChangeReachesTheAmplifierInOrder) {
  ScenarioRun r = QuickRun("road-tavo", SETUP, "1 trx freq 14200000\n6 trx freq 7100000\n", 9,
                           AntennaTable("!Tavo"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  ExpectFortyMetres(CommandsAfter(r, "6 trx freq 7100000"), true);
}

TEST(Roads, Ft817FrequencyChangeReachesTheAmplifierInOrder) {
  ScenarioRun r = QuickRun("road-817", SETUP, "1 ft817 freq 14200000\n6 ft817 freq 7100000\n", 9,
                           AntennaTable("!817"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  ExpectFortyMetres(CommandsAfter(r, "6 ft817 freq 7100000"), true);
}

TEST(Roads, GenericCounterFrequencyChangeSendsNoFrequencyCommand) {
  ScenarioRun r = QuickRun("road-generic", SETUP,
                           "1 radio freq 14200000\n6 radio freq 7100000\n6 radio drive 5\n", 10,
                           AntennaTable("!Gen"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  ExpectFortyMetres(CommandsAfter(r, "6 radio freq 7100000"), false);
}

// The fast search, so that the tune is long over when the frequency moves
// away and back.
TEST(Roads, OperatorTransmissionStartsATuneThatIsStoredAndRecalled) {
  ScenarioRun r = QuickRun("road-tune", SETUP_AUTOTUNE + std::string("AutoTuneTipo: 1\n"),
                           "1 antenna 1 load 25 30\n1 trx freq 7100000\n4 trx tx on\n"
                           "20 trx freq 14200000\n23 trx freq 7100000\n",
                           26, "", true);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  std::string controller = ReportSection(r.report, "controller");
  std::smatch swr;
  ASSERT_TRUE(std::regex_search(controller, swr, std::regex("\"swrFinale\":([0-9.]+)")))
      << controller;
  EXPECT_LT(std::stod(swr[1]), 1.5);
  EXPECT_NE(controller.find("\"tuneStatus\":0"), std::string::npos) << controller;
  // The transceiver was returned to receive.
  EXPECT_NE(ReportSection(r.report, "transceiver").find("\"text\":\"RX;\""), std::string::npos);
  // The result is in the ATU file of bank 1, antenna 1: index, frequency, valid, network, L, C.
  std::string atu = ReadTextFile(r.root + "/opt/set/atu_ant1_b1.txt");
  std::smatch entry;
  ASSERT_TRUE(
      std::regex_search(atu, entry, std::regex("([0-9]+) 7100000 1 ([0-9]) ([0-9]+) ([0-9]+)")))
      << atu;
  // Back on 7.1 MHz the stored word is loaded with no new search.
  std::vector<std::string> texts = Texts(CommandsAfter(r, "23 trx freq 7100000"));
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
  ScenarioRun r = QuickRun("road-key", SETUP_AUTOTUNE,
                           "1 antenna 1 load 100 -50\n1 trx freq 14200000\n4 unit tune\n", 24);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  std::string trx = ReportSection(r.report, "transceiver");
  EXPECT_NE(trx.find("\"text\":\"TU120;\""), std::string::npos) << trx;
  EXPECT_NE(trx.find("\"text\":\"TX2;\""), std::string::npos) << trx;
  EXPECT_NE(trx.find("\"text\":\"RX;\""), std::string::npos) << trx;
  std::vector<AmpFrame> after = CommandsAfter(r, "4 unit tune");
  EXPECT_GT(std::count_if(after.begin(), after.end(),
                          [](const AmpFrame &f) { return f.text.rfind("MT1", 0) == 0; }),
            20)
      << "the search did not step the tuner";
  std::smatch swr;
  std::string controller = ReportSection(r.report, "controller");
  ASSERT_TRUE(std::regex_search(controller, swr, std::regex("\"swrFinale\":([0-9.]+)")));
  EXPECT_LT(std::stod(swr[1]), 1.5);
  EXPECT_NE(controller.find("\"tuneStatus\":0"), std::string::npos) << controller;
}

TEST(Roads, TransceiverIgnoringTheTuneRequestGivesError14AndTheTuneIsAborted) {
  ScenarioRun r = QuickRun("road-ignored", SETUP_AUTOTUNE,
                           "1 trx ignore-tune on\n1 trx freq 14200000\n4 unit tune\n", 10);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  std::string controller = ReportSection(r.report, "controller");
  EXPECT_NE(controller.find("\"tuneStatus\":0"), std::string::npos) << controller;
  std::smatch errors;
  ASSERT_TRUE(std::regex_search(controller, errors, std::regex("\"errors\":\\[([0-9,]*)\\]")));
  EXPECT_NE(("," + errors[1].str() + ",").find(",14,"), std::string::npos) << controller;
  EXPECT_EQ(Count(r.run.output, "err:14\n"), 1);
}

// Four failed exchanges take 6 s of 1.5 s time-outs: a 9 s silence holds
// them with room to spare, and ends before a second series of four could.
TEST(Roads, SilentAmplifierGivesError4AndTheUnitRecovers) {
  ScenarioRun r =
      QuickRun("road-silent", SETUP, "1 trx freq 14200000\n3 amp silence 9\n14 trx freq 7100000\n",
               17, AntennaTable("!Tavo"));
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  // In this order: the resends, error 4 with the stop, polling again.
  size_t resend = r.run.output.find(" ERROR LINEAR: RETRAY ");
  size_t added = r.run.output.find("err:4\n");
  size_t stop = r.run.output.find("STOP RETRAY!!");
  ASSERT_NE(resend, std::string::npos);
  ASSERT_NE(added, std::string::npos);
  ASSERT_NE(stop, std::string::npos);
  EXPECT_LT(resend, added);
  EXPECT_LT(added, stop);
  EXPECT_GE(Count(r.run.output, "STOP RETRAY!!"), 1);
  EXPECT_EQ(Count(r.run.output, "err:4\n"), 1);
  // Answering again, the amplifier gets the next frequency change in full.
  ExpectFortyMetres(CommandsAfter(r, "14 trx freq 7100000"), true);
}

namespace {
// Commands the transceiver received on its extended-IO port between two
// scenario events (or to the end).
std::vector<std::string> TransceiverCommands(const ScenarioRun &r, const std::string &from,
                                             const std::string &to = "") {
  double start = EventApplied(r.report, from);
  double stop = to.empty() ? 1e9 : EventApplied(r.report, to);
  EXPECT_GE(start, 0) << from;
  std::string trx = ReportSection(r.report, "transceiver");
  std::vector<std::string> texts;
  std::regex command("\\{\"t\":([0-9.e+-]+),\"port\":\"extio\",\"text\":\"([^\"]*)\"\\}");
  for (std::sregex_iterator it(trx.begin(), trx.end(), command), last; it != last; ++it) {
    double t = std::stod((*it)[1]);
    if (t > start && t < stop) texts.push_back((*it)[2]);
  }
  return texts;
}
}  // namespace

// The TUNE key on a band whose tuner is bypassed starts no search and asks
// for no carrier. A tune during which automatic tune is turned off still
// returns the transceiver to receive, whether it ends by itself or by the key.
TEST(Roads, NoTuneKeyPathLeavesTheTransceiverTransmitting) {
  std::string table = "!Tavo\n40m 7000000 7300000 1 1 0 0 0.0\n20m 14000000 14350000 1 1 1 0 0.0\n";
  ScenarioRun r = QuickRun("road-receive", SETUP_AUTOTUNE,
                           "1 trx freq 14200000\n4 unit tune\n6 trx freq 7100000\n"
                           "8 unit tune\n9 unit autotune off\n17 unit tune\n",
                           20, table);
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_TRUE(TransceiverCommands(r, "4 unit tune", "8 unit tune").empty())
      << "the refused tune asked for a carrier";
  std::vector<std::string> tuned = TransceiverCommands(r, "8 unit tune");
  auto carrier = std::find(tuned.begin(), tuned.end(), "TX2;");
  ASSERT_NE(carrier, tuned.end()) << ::testing::PrintToString(tuned);
  EXPECT_NE(std::find(carrier, tuned.end(), "RX;"), tuned.end()) << ::testing::PrintToString(tuned);
  std::string trx = ReportSection(r.report, "transceiver");
  EXPECT_NE(trx.find("\"tx\":false"), std::string::npos) << trx;
  EXPECT_NE(ReportSection(r.report, "controller").find("\"tuneStatus\":0"), std::string::npos);
}
