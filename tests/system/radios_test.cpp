// The whole unit following both simulated radios, each on its own port.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/sim_process.h"

namespace {
std::string Slurp(const std::string &path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

TEST(Radios, TheUnitFollowsTheTransceiverAndTheFt817OnSeparatePorts) {
  std::string root = FreshSimRoot("radios");
  std::filesystem::create_directories(root + "/opt/set");
  std::ofstream(root + "/opt/set/setup.txt") << "CatSerialPort: /dev/ttyUSB2\nWebSocket: 0\n";
  // The links start 13 s into the start-up; the changes come after that.
  std::ofstream(root + "/scenario.txt") << "1 trx freq 7100000\n"
                                           "1 ft817 freq 21074000\n"
                                           "15 trx vfo b\n"
                                           "15 trx freq 3573000\n"
                                           "15 ft817 freq 28074000\n";
  SimRun run = RunKestraSim(KESTRA_SIM_BINARY,
                            {"--root", root, "--headless", "--duration", "22", "--scenario",
                             root + "/scenario.txt", "--report", root + "/report.json"},
                            120);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  std::string report = Slurp(root + "/report.json");
  EXPECT_NE(report.find("\"tavoFreq\":3573000"), std::string::npos) << report;
  EXPECT_NE(report.find("\"catFreq\":28074000"), std::string::npos) << report;
  EXPECT_NE(run.output.find("OK works->serFD="), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("OK works->catSerFD="), std::string::npos) << run.output;
  std::filesystem::remove_all(root);
}
