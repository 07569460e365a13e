// The whole unit started and stopped by kestra-sim, as an operator would see it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/sim_process.h"

TEST(Lifecycle, EmptyRootGetsTheDefaultSetupAndAnOrderlyShutdown) {
  std::string root = FreshSimRoot("lifecycle");
  SimRun run = RunKestraSim(
      KESTRA_SIM_BINARY,
      {"--root", root, "--headless", "--duration", "3", "--report", root + "/report.json"}, 90);
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
  SimRun run =
      RunKestraSim(KESTRA_SIM_BINARY, {"--root", root, "--headless", "--duration", "2"}, 90);
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

// A setup.txt and tables with values out of their ranges: the unit starts
// with every value in range, and says so once for each.
TEST(Lifecycle, OutOfRangeSettingsStartTheUnitWithValuesInRange) {
  std::string root = FreshSimRoot("ranges");
  std::filesystem::create_directories(root + "/opt/set");
  std::ofstream(root + "/opt/set/setup.txt")
      << "WebSocket: 0\nNumAntenna: z\nNumBanco: 99999999999\nMAXbank: -4\n"
         "AutoTuneMaxCicli: x\nAttenuator: 7\nPSpar1: 123456\n";
  std::ofstream(root + "/opt/set/antenna_b1.txt") << "!Tavo\n20m 14000000 14350000 1 9 0 5 0.0\n";
  std::ofstream(root + "/opt/set/atu_ant1_b1.txt") << "3130 14200000 1 1 600 20\n";
  SimRun run = RunKestraSim(KESTRA_SIM_BINARY,
                            {"--root", root, "--headless", "--duration", "4", "--quick-start",
                             "--report", root + "/report.json"},
                            90);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  std::string log = ReadTextFile(root + "/var/log/kestra.log");
  for (const char *line :
       {"NumAntenna: 'z' is not in 1..3, 1 used", "NumBanco: '99999999999' is not in 0..19, 1 used",
        "MAXbank: '-4' is not in 2..20, 3 used", "AutoTuneMaxCicli: 'x' is not in 0..4, 0 used",
        "Attenuator: '7' is not in 0..3, 0 used", "PSpar1: '123456' is not in 0..9999, 1 used",
        "antenna table, row 20m: Ant 9 is not in 0..3, 1 used",
        "antenna table, row 20m: Att 5 is not in 0..3, 0 used",
        "ATU table, index 3130: network 1, L 600, C 20 out of range"}) {
    size_t at = log.find(line);
    EXPECT_NE(at, std::string::npos) << line << "\n" << log;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos) << "twice: " << line;
  }
  for (const char *value : {"NumAntenna: -1-", "NumBanco: -1-", "MAXbank: -3-", "PSpar1: -1-"})
    EXPECT_NE(log.find(value), std::string::npos) << value;
  // The amplifier is told antenna 1 and the default protection parameters,
  // never a command made of the bad values.
  std::string report = ReadTextFile(root + "/report.json");
  EXPECT_NE(report.find("\"text\":\"SA1;\""), std::string::npos);
  EXPECT_EQ(report.find("\"text\":\"SA74;\""), std::string::npos);
  EXPECT_NE(report.find("\"text\":\"PS0001100000000000;\""), std::string::npos);
  std::filesystem::remove_all(root);
}
