#include "transceiver/cat_serial.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "sim/ft817/ft817.h"
#include "tests/support/sandbox.h"
#include "tests/support/sim_events.h"
#include "tests/support/test_clock.h"
#include "tests/support/wait.h"

namespace {
void NoSleep(int64_t) {}

class Ft817Reply : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = SetClockSource(
        {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, NoSleep});
  }
  void TearDown() override { SetClockSource(previous); }
  void Decode(std::vector<uint8_t> reply) {
    lastCommandSent = 3;
    DecodeCatSerialCmd(works.works, reply.data(), reply.size());
  }
  TestWorks works;
  LogCapture log;
  ClockSource previous;
};
}  // namespace

TEST_F(Ft817Reply, BcdBytesGiveTheFrequencyInTensOfHertzAndTheModeByte) {
  Decode({0x01, 0x42, 0x34, 0x56, 0x01});
  EXPECT_EQ(works->trx.catFreq, 14234560);
  EXPECT_EQ(works->trx.catMode, 0x01);
  EXPECT_EQ(lastCommandSent, 0);
  Decode({0x00, 0x70, 0x00, 0x00, 0x04});
  EXPECT_EQ(works->trx.catFreq, 7000000);
  EXPECT_EQ(works->trx.catMode, 0x04);
  EXPECT_EQ(Ft817FrequencyReply(7000000, 4), (std::vector<uint8_t>{0x00, 0x70, 0x00, 0x00, 0x04}));
}

TEST_F(Ft817Reply, NonBcdInAnyFrequencyByteKeepsTheFrequencyButTakesTheMode) {
  Decode({0x01, 0x42, 0x34, 0x56, 0x01});
  for (int i = 0; i < 4; i++) {
    std::vector<uint8_t> reply{0x00, 0x70, 0x00, 0x00, 0x08};
    reply[i] = 0x1A;
    Decode(reply);
    EXPECT_EQ(works->trx.catFreq, 14234560) << "byte " << i;
  }
  EXPECT_EQ(works->trx.catMode, 0x08);
  EXPECT_TRUE(log.ErrHas("CAT FT817 freq not decoded :  1a 70 00 00 08\n"));
  EXPECT_TRUE(log.ErrHas("CAT FT817 freq not decoded :  00 70 00 1a 08\n"));
}

TEST(VerifyByteFreq, TellsPackedBcdFromOtherBytes) {
  for (uint8_t bcd : {0x00, 0x09, 0x10, 0x42, 0x99}) EXPECT_FALSE(VerifyByteFreq(bcd)) << int(bcd);
  for (uint8_t other : {0x0A, 0x1F, 0x9A, 0xA0, 0xFF})
    EXPECT_TRUE(VerifyByteFreq(other)) << int(other);
}

namespace {
// The poller against the simulated FT-817 in the sandbox.
class Ft817Poller : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(rig.Start(error)) << error;
    works->core.running = 1;
  }
  void TearDown() override {
    WriteSetupFlag(works->cfg.setup->catSerialRun, '0');
    if (poller.joinable()) poller.join();
    rig.Stop();
  }
  void Start() { poller = std::thread(CatSerial, works.works); }
  TestSandbox box;
  World world;
  Ft817Sim rig{SimContext{box.Root(), &world, true, "ft817"}};
  TestWorks works;
  LogCapture log;
  std::thread poller;
};

// The poller's writes, noted on the driven clock after each of its sleeps.
std::mutex writesMutex;
std::vector<int64_t> writes;
void NoteWrite(int64_t) {
  std::lock_guard<std::mutex> lock(writesMutex);
  if (writes.empty() || writes.back() != catLastWriteMicros) writes.push_back(catLastWriteMicros);
}
}  // namespace

TEST_F(Ft817Poller, FollowsTheRigsFrequencyAndSkipsAGarbledReply) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return works->trx.catFreq == 14074000; }));
  EXPECT_GE(works->trx.catSerFD, 0);
  EXPECT_TRUE(log.SysHas("Init CATSerial Port /dev/ttyUSB1", LOG_PRIO_INFO));

  auto changed = std::chrono::steady_clock::now();
  ApplyEvent(rig, "ft817 freq 7100000");
  ASSERT_TRUE(WaitUntil([&] { return works->trx.catFreq == 7100000; }));
  double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - changed).count();
  RecordProperty("ft817_follow_ms", std::to_string(ms));

  ApplyEvent(rig, "ft817 garbage");
  ApplyEvent(rig, "ft817 freq 21074000");
  ASSERT_TRUE(WaitUntil([&] { return works->trx.catFreq == 21074000; }));
  EXPECT_TRUE(log.ErrHas("CAT FT817 freq not decoded :  1a ff 3c b0 01\n"));
}

TEST_F(Ft817Poller, ASilentRigGetsATimeoutLineEveryTwoAndAHalfSecondsAndIsAskedAgain) {
  ApplyEvent(rig, "ft817 silent 600");
  writes.clear();
  // Each 1 ms look for a byte takes 2.7 ms: the time-out stays 1.5 s.
  const int64_t poll = 2700;
  ClockSource previous = InstallDrivenClock(poll - 1000, NoteWrite);
  Start();
  bool three =
      WaitUntil([&] { return log.ErrCount("<<<<<<<<<<<<<<<<<<<<TIMEOUT SERIAL CAT!!!!\n") >= 3; });
  WriteSetupFlag(works->cfg.setup->catSerialRun, '0');
  poller.join();
  SetClockSource(previous);
  ASSERT_TRUE(three);
  std::lock_guard<std::mutex> lock(writesMutex);
  ASSERT_GE(writes.size(), 3u);
  // 1.5 s without a reply, then the 1 s pause (itself a sleep the machine
  // lengthens), then the request again.
  for (size_t i = 1; i < writes.size(); i++) {
    EXPECT_GE(writes[i] - writes[i - 1], 2500000) << i;
    EXPECT_LT(writes[i] - writes[i - 1], 2500000 + 2 * poll) << i;
  }
  EXPECT_TRUE(WaitUntil([&] { return rig.Requests() >= 3; }, 5));
  EXPECT_EQ(works->trx.catFreq, 0);
}

TEST(Ft817Port, APortThatCannotBeOpenedIsShownAsTheLinkFailure) {
  TestSandbox box;
  TestWorks works;
  LogCapture log;
  CatSerial(works.works);
  EXPECT_TRUE(log.SysHas("Unable to open device /dev/ttyUSB1", LOG_PRIO_ERR));
  EXPECT_EQ(GetLinkErrorMessage(works.works), "CAT: Unable to open device /dev/ttyUSB1");
  EXPECT_EQ(works->core.linkErrState, 2);
}
