// The whole unit and its amplifier: what the amplifier receives from a unit
// fresh from the factory, and how the unit rides out lost replies.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/support/sim_report.h"

namespace {
SimRun RunScenario(const std::string &root, const std::string &scenario, int seconds,
                   bool quickStart) {
  std::ofstream(root + "/scenario.txt") << scenario;
  std::vector<std::string> args = {"--root",
                                   root,
                                   "--headless",
                                   "--duration",
                                   std::to_string(seconds),
                                   "--scenario",
                                   root + "/scenario.txt",
                                   "--report",
                                   root + "/report.json"};
  if (quickStart) args.push_back("--quick-start");
  return RunKestraSim(KESTRA_SIM_BINARY, args, 120);
}

std::string FreshRoot(const std::string &name) {
  std::string root = FreshSimRoot(name);
  std::filesystem::create_directories(root + "/opt/set");
  std::ofstream(root + "/opt/set/setup.txt") << "WebSocket: 0\n";
  return root;
}

std::vector<std::string> Frames(const std::string &report) {
  std::vector<std::string> texts;
  for (const AmpFrame &f : AmplifierFrames(report)) texts.push_back(f.text);
  return texts;
}
}  // namespace

// The real start-up timing. Resends, should a busy host delay a reply past
// its time-out, are folded: what counts is the order.
TEST(AmplifierLink, StartUpCommandsFollowEachPollAndThePowerClassIsSeen) {
  std::string root = FreshRoot("amp-startup");
  SimRun run = RunScenario(root, "0 amp class 120\n", 6, false);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  // The factory tables were seeded and read.
  EXPECT_NE(run.output.find("N row Config File 12 \n"), std::string::npos);
  EXPECT_NE(run.output.find("N row Ventola File 4 \n"), std::string::npos);
  EXPECT_NE(run.output.find("Filter 7 0,54000000,1\n"), std::string::npos);

  std::vector<std::string> frames = WithoutResends(Frames(ReadTextFile(root + "/report.json")));
  // The thresholds are the defaults: reading setup.txt resets them after the
  // start-up commands were queued, until the timer applies the frequency.
  std::vector<std::string> expected = {
      "VSM;",        "ER0000;", "ER0001;", "ER0002;",  "MP0;",         "TS4095409515003700;",
      "FN1100;",     "AN0;",    "SA1;",    "FS00001;", "MT100000000;", "PS0001100000000000;",
      "GM00020100;", "GS;",     "CPFFFF;", "MR0;"};
  ASSERT_GE(frames.size(), 2 * expected.size() + 2);
  for (size_t i = 0; i < expected.size(); i++) {
    EXPECT_EQ(frames[2 * i], "ST;") << i;
    EXPECT_EQ(frames[2 * i + 1], expected[i]) << i;
  }
  EXPECT_EQ(frames[2 * expected.size()], "ST;");
  // Then what the bank load queued, and at last the idle polls and counter.
  EXPECT_NE(std::find(frames.begin() + 2 * expected.size(), frames.end(), "FM;"), frames.end());
  // The power class was read from the amplifier's configuration page.
  EXPECT_NE(run.output.find("EE2: 30 31\n"), std::string::npos) << run.output;
  std::filesystem::remove_all(root);
}

// Four lost replies cost four 1.5 s time-outs; the run goes on 5 s after.
// The replies are lost well after the start-up commands went out (errors
// are recorded from the "CP" reply on).
TEST(AmplifierLink, LostRepliesAreResentThenTheLinkPollsAgain) {
  std::string root = FreshRoot("amp-faults");
  SimRun run = RunScenario(root, "7 amp drop 4\n", 18, true);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_NE(run.output.find("---------------------------------------STOP RETRAY!! "),
            std::string::npos);
  EXPECT_NE(run.output.find(" ERROR LINEAR: RETRAY "), std::string::npos);
  // Error 4 ("Comm") is raised.
  std::regex commError("Add: N: [0-9]+ err:4\n");
  auto adds = std::distance(std::sregex_iterator(run.output.begin(), run.output.end(), commError),
                            std::sregex_iterator());
  EXPECT_EQ(adds, 1);
  std::vector<std::string> frames = Frames(ReadTextFile(root + "/report.json"));
  bool resentThenPolled = false;
  for (size_t i = 0; i + 4 < frames.size() && !resentThenPolled; i++)
    resentThenPolled = frames[i] == frames[i + 1] && frames[i] == frames[i + 2] &&
                       frames[i] == frames[i + 3] && frames[i + 4] == "ST;";
  EXPECT_TRUE(resentThenPolled);
  // And the link is polling normally at the end.
  ASSERT_GE(frames.size(), 4u);
  EXPECT_NE(std::find(frames.end() - 4, frames.end(), "FM;"), frames.end());
  std::filesystem::remove_all(root);
}
