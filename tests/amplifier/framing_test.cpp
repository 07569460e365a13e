#include "amplifier/framing.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/works.h"
#include "tests/support/sandbox.h"

TEST(Framing, CrcAndFrames) {
  EXPECT_EQ(Sys_Crc8Calculation("123456789", 9), 0xA1);
  EXPECT_EQ(FrameCommand("ST;"), "4dST;");
  EXPECT_EQ(FrameCommand("VSM;"), "c2VSM;");
  EXPECT_EQ(FrameReply("VSM;"), "C2VSM;");
  std::string reply = FrameReply("ST;");
  EXPECT_TRUE(FrameCrcMatches(reply.data(), reply.size()));
  // Lower-case digits from the amplifier do not match.
  EXPECT_FALSE(FrameCrcMatches("c2VSM;", 6));
  EXPECT_FALSE(FrameCrcMatches("4D", 2));
  EXPECT_EQ(charToInt('7'), 7);
  EXPECT_EQ(charToInt('c'), 12);
  EXPECT_EQ(charToInt('F'), 15);
  EXPECT_EQ(charToInt('g'), -1);
}

TEST(CmdQueue, TwentyNinePendingCommandsComeOutInOrderAndTheThirtiethIsRefused) {
  TestWorks works;
  LogCapture log;
  for (int i = 0; i < 29; i++) EXPECT_TRUE(IncPNTIn_CMDLinear(4 + i % 38, works.works));
  EXPECT_FALSE(IncPNTIn_CMDLinear(CMD_CP, works.works));
  EXPECT_TRUE(log.SysHas("command queue full", LOG_PRIO_ERR));
  EXPECT_EQ(CmdQueuePending(works.works), 29);
  int32_t cmd;
  for (int i = 0; i < 29; i++) {
    ASSERT_TRUE(TakeCmdLinear(works.works, cmd));
    EXPECT_EQ(cmd, 4 + i % 38);
  }
  EXPECT_FALSE(TakeCmdLinear(works.works, cmd));
  EXPECT_TRUE(CmdQueueEmpty(works.works));
}

TEST(CmdQueue, ConcurrentProducersLoseNothing) {
  TestWorks works;
  std::vector<int> seen(4, 0);
  std::atomic<bool> done{false};
  std::thread consumer([&] {
    int32_t cmd;
    while (!done || !CmdQueueEmpty(works.works))
      if (TakeCmdLinear(works.works, cmd)) seen[cmd - 10]++;
  });
  std::vector<std::thread> producers;
  for (int p = 0; p < 4; p++)
    producers.emplace_back([&, p] {
      for (int i = 0; i < 2000; i++)
        while (!IncPNTIn_CMDLinear(10 + p, works.works)) std::this_thread::yield();
    });
  for (auto &t : producers) t.join();
  done = true;
  consumer.join();
  EXPECT_EQ(seen, (std::vector<int>{2000, 2000, 2000, 2000}));
}

TEST(InitMicroCmd, QueuesTheStartUpCommandsInOrder) {
  TestWorks works;
  LogCapture log;
  InitMicroCmd(works.works);
  std::vector<int32_t> got;
  for (int32_t cmd; TakeCmdLinear(works.works, cmd);) got.push_back(cmd);
  // Without calibration rows the default thresholds follow "MP0;".
  EXPECT_EQ(got,
            (std::vector<int32_t>{0, 36, 37, 38, 17, 22, 23, 21, 7, 12, 11, 24, 33, 34, 13, 32}));
  EXPECT_EQ(works->thermal.fanLevel, 100);
  EXPECT_EQ(works->cfg.idxSogliaTS, 0);
  EXPECT_TRUE(log.ErrHas("Init CRT ... \n"));
}
