// kestra-sim --only amplifier as an outside program sees it: a port in the
// sandbox that answers CRC-framed commands.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "amplifier/framing.h"
#include "tests/support/sandbox.h"
#include "tests/support/serial_client.h"

namespace {
pid_t StartSim(const std::vector<std::string> &args) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char *> argv{const_cast<char *>(KESTRA_SIM_BINARY)};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(KESTRA_SIM_BINARY, argv.data());
    _exit(127);
  }
  return pid;
}

// Bounded wait for the port link to appear.
bool AwaitPath(const std::string &path) {
  for (int i = 0; i < 1000; i++) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
}  // namespace

TEST(AmpOnly, AnOutsideClientGetsAFramedStatusReply) {
  TestSandbox sandbox;
  std::string root = sandbox.Root(), report = root + "/report.json";
  pid_t sim =
      StartSim({"--only", "amplifier", "--root", root, "--duration", "120", "--report", report});
  ASSERT_GT(sim, 0);
  ASSERT_TRUE(AwaitPath(root + "/dev/ttyAMA0"));
  {
    SerialClient client(root + "/dev/ttyAMA0");
    ASSERT_TRUE(client.IsOpen());
    std::string reply = client.Ask("4dST;");
    ASSERT_GE(reply.size(), 5u) << reply;
    EXPECT_EQ(reply.substr(2, 2), "ST");
    EXPECT_EQ(reply.back(), ';');
    EXPECT_TRUE(isxdigit(reply[0]) && !islower(reply[0]) && isxdigit(reply[1]) &&
                !islower(reply[1]));
    EXPECT_TRUE(FrameCrcMatches(reply.data(), reply.size()));
  }
  kill(sim, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(sim, &status, 0), sim);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::string json = sandbox.Read(report);
  EXPECT_NE(json.find("\"amplifier\":{"), std::string::npos);
  EXPECT_NE(json.find("\"crc\":\"4d\",\"text\":\"ST;\"}"), std::string::npos) << json;
}
