#include "transceiver/cat_port.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "core/log.h"
#include "core/works.h"
#include "sim/transceiver/transceiver.h"
#include "sim/world/pty.h"
#include "tests/support/sandbox.h"
#include "tests/support/wait.h"

namespace {
// A device on a CAT port glob path that answers "DT;" with its own text.
class OtherDevice {
 public:
  OtherDevice(const std::string &path, const std::string &answer) : answer_(answer) {
    std::string error;
    EXPECT_TRUE(port_.Open(path, error)) << error;
    worker_ = std::thread([this] {
      std::string heard;
      uint8_t buf[64];
      while (!stop_) {
        int n = port_.Read(buf, sizeof buf, 5);
        heard.append(reinterpret_cast<char *>(buf), n);
        if (heard.find("DT;") == std::string::npos) continue;
        heard.clear();
        port_.Write(answer_, false);
      }
    });
  }
  ~OtherDevice() {
    stop_ = true;
    worker_.join();
  }

 private:
  PtyPort port_;
  std::string answer_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

class CatPortSearch : public ::testing::Test {
 protected:
  std::string Port(int n) { return box.Root() + "/dev/VORNCAT" + std::to_string(n); }
  // Position of the first log line holding `text`, or -1.
  int SysLineOf(const std::string &text) {
    auto lines = log.Sys();
    for (size_t i = 0; i < lines.size(); i++)
      if (lines[i].text.find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
  }
  TestSandbox box;
  TestWorks works;
  LogCapture log;
};
}  // namespace

TEST_F(CatPortSearch, FindsTheTransceiverAmongTwoTryingTheLastFirst) {
  World world;
  TransceiverSim trx(SimContext{box.Root(), &world, true, "transceiver"});  // VORNCAT0
  std::string error;
  ASSERT_TRUE(trx.Start(error)) << error;
  OtherDevice other(Port(1), "DT002;");

  ASSERT_EQ(VerifyCAT(works.works), 0);
  int rejected = SysLineOf("Cannot connect TAVO using " + Port(1));
  ASSERT_GE(rejected, 0);
  EXPECT_LT(rejected, SysLineOf("Send \"DT;\" " + Port(0)));
  EXPECT_TRUE(log.ErrHas("CAT serial found:  " + Port(0) + "---"));
  ASSERT_GT(works->trx.catFD, 0);
  // Only five characters were taken: the answer's ';' is still waiting.
  char rest = 0;
  EXPECT_EQ(read(works->trx.catFD, &rest, 1), 1);
  EXPECT_EQ(rest, ';');
  ASSERT_FALSE(trx.Commands().empty());
  EXPECT_EQ(trx.Commands()[0].text, "DT;");
  EXPECT_EQ(trx.Commands()[0].port, "cat");
  close(works->trx.catFD);
  trx.Stop();
}

TEST_F(CatPortSearch, RejectsADeviceThatAnswersOtherwiseOrStopsHalfway) {
  OtherDevice other(Port(0), "DT002;");
  OtherDevice halfway(Port(1), "DT0");
  EXPECT_EQ(VerifyCAT(works.works), -1);
  EXPECT_EQ(works->trx.catFD, -1);
  EXPECT_GE(SysLineOf("Cannot connect TAVO using " + Port(0)), 0);
  EXPECT_GE(SysLineOf("Cannot connect TAVO using " + Port(1)), 0);
  EXPECT_TRUE(log.SysHas("Unable to open device /dev/ttyUSB0", LOG_PRIO_ERR));
  EXPECT_TRUE(log.ErrHas("CAT: Unable to open device /dev/ttyUSB0\n"));
}

TEST_F(CatPortSearch, NoCatDeviceAtAll) {
  EXPECT_EQ(VerifyCAT(works.works), -1);
  EXPECT_TRUE(log.ErrHas("No CAT serial port found"));
}
