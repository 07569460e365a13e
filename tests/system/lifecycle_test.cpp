// The whole unit started and stopped by kestra-sim, as an operator would see it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/sim_process.h"

TEST(Lifecycle, EmptyRootGetsTheDefaultSetupAndAnOrderlyShutdown) {
  std::string root = FreshSimRoot("lifecycle");
  SimRun run = RunKestraSim(KESTRA_SIM_BINARY,
                            {"--root", root, "--headless", "--duration", "3", "--report",
                             root + "/report.json"},
                            90);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  std::string setup = ReadTextFile(root + "/opt/set/setup.txt");
  EXPECT_EQ(std::count(setup.begin(), setup.end(), '\n'), 70);
  EXPECT_EQ(setup.rfind("EnableKeyb: 1\n", 0), 0u);
  EXPECT_NE(run.output.find("START Main"), std::string::npos);
  EXPECT_NE(run.output.find("Close..\n"), std::string::npos);
  EXPECT_NE(run.output.find("Closed!\n"), std::string::npos);
  std::string report = ReadTextFile(root + "/report.json");
  EXPECT_NE(report.find("\"controller\":{"), std::string::npos) << report;
  std::filesystem::remove_all(root);
}

TEST(Lifecycle, SettingsAlreadyInTheRootAreKeptAndUsed) {
  std::string root = FreshSimRoot("seeded");
  std::filesystem::create_directories(root + "/opt/set");
  std::ofstream(root + "/opt/set/setup.txt") << "EnableLinear: 0\nWebSocket: 0\n";
  SimRun run = RunKestraSim(KESTRA_SIM_BINARY, {"--root", root, "--headless", "--duration", "2"}, 90);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_EQ(run.output.find("SOCKET SERVER start"), std::string::npos);
  std::string log = ReadTextFile(root + "/var/log/kestra.log");
  EXPECT_NE(log.find("EnableLinear: -0-"), std::string::npos) << log;
  std::filesystem::remove_all(root);
}

TEST(Lifecycle, BadUsageIsRefusedWithAReason) {
  SimRun run = RunKestraSim(KESTRA_SIM_BINARY, {"--duration", "soon"}, 20);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.output.find("--duration needs a number of seconds"), std::string::npos);
  std::string root = FreshSimRoot("badscenario");
  std::ofstream(root + "/s.txt") << "1 nothing here\n";
  run = RunKestraSim(KESTRA_SIM_BINARY, {"--root", root, "--scenario", root + "/s.txt"}, 20);
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.output.find("line 1: unknown subject 'nothing'"), std::string::npos) << run.output;
  std::filesystem::remove_all(root);
}
