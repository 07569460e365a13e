// The whole unit following both simulated radios, each on its own port.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/sim_process.h"

namespace {
// The interface type of the memory bank decides which radio the unit
// follows: the factory bank uses the companion transceiver, an "!817" bank
// the FT-817. Both radios run in the world, each on its own port.
std::string RunWithBank(const std::string &name, const std::string &antennaTable) {
  std::string root = FreshSimRoot(name);
  std::filesystem::create_directories(root + "/opt/set");
  std::ofstream(root + "/opt/set/setup.txt") << "CatSerialPort: /dev/ttyUSB2\nWebSocket: 0\n";
  if (!antennaTable.empty()) std::ofstream(root + "/opt/set/antenna_b1.txt") << antennaTable;
  // The links start about 1.5 s into a quick start; the changes come well
  // after that.
  std::ofstream(root + "/scenario.txt") << "1 trx freq 7100000\n"
                                           "1 ft817 freq 21074000\n"
                                           "5 trx vfo b\n"
                                           "5 trx freq 3573000\n"
                                           "5 ft817 freq 28074000\n";
  SimRun run =
      RunKestraSim(KESTRA_SIM_BINARY,
                   {"--root", root, "--headless", "--duration", "9", "--quick-start", "--scenario",
                    root + "/scenario.txt", "--report", root + "/report.json"},
                   120);
  EXPECT_EQ(run.exitStatus, 0) << run.output;
  std::string result = run.output + "\n" + ReadTextFile(root + "/report.json");
  std::filesystem::remove_all(root);
  return result;
}
}  // namespace

TEST(Radios, TheFactoryBankFollowsTheCompanionTransceiver) {
  std::string out = RunWithBank("radios-tavo", "");
  EXPECT_NE(out.find("\"tavoFreq\":3573000"), std::string::npos) << out;
  EXPECT_NE(out.find("OK works->serFD="), std::string::npos) << out;
  EXPECT_EQ(out.find("OK works->catSerFD="), std::string::npos) << out;
}

TEST(Radios, AnFt817BankFollowsTheFt817) {
  std::string out = RunWithBank("radios-817", "!817\n");
  EXPECT_NE(out.find("\"catFreq\":28074000"), std::string::npos) << out;
  EXPECT_NE(out.find("OK works->catSerFD="), std::string::npos) << out;
  EXPECT_EQ(out.find("OK works->serFD="), std::string::npos) << out;
}
