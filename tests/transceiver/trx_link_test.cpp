// The extended-IO link against the simulated companion transceiver.
#include <gtest/gtest.h>

#include <thread>

#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "sim/transceiver/transceiver.h"
#include "tests/support/sandbox.h"
#include "tests/support/sim_events.h"
#include "tests/support/test_clock.h"
#include "tests/support/wait.h"
#include "transceiver/ext_io.h"
#include "transceiver/tavo_params.h"

namespace {
using namespace tavo;

class TrxLink : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(trx.Start(error)) << error;
    works->core.running = 1;
    works->tuner.modeWorkIdx = 1;
    works->errors.errMask = 0;
  }
  void TearDown() override {
    WriteSetupFlag(works->cfg.setup->extIoRun, '0');
    if (link.joinable()) link.join();
    trx.Stop();
  }
  void Start() { link = std::thread(Serial, works.works); }
  int32_t Word(int word) {
    TavoParamsRecord copy{};
    getParameters(&copy, works.works);
    return copy.word[word];
  }
  bool WordBecomes(int word, int32_t value) {
    return WaitUntil([&] { return Word(word) == value; });
  }
  bool Heard(const std::string &text) {
    return WaitUntil([&] {
      for (const auto &c : trx.Commands())
        if (c.port == "extio" && c.text == text) return true;
      return false;
    });
  }

  TestSandbox box;
  World world;
  TransceiverSim trx{SimContext{box.Root(), &world, true, "transceiver"}};
  TestWorks works;
  LogCapture log;
  std::thread link;
};

}  // namespace

TEST_F(TrxLink, TheRecordFollowsTheTransceiversVfoModeAndTransmission) {
  Start();
  ASSERT_TRUE(WordBecomes(freq, 14074000));
  EXPECT_TRUE(WordBecomes(freqB, 7074000));  // the other VFO's blocks come too
  EXPECT_EQ(Word(mode), 6);

  ApplyEvent(trx, "trx vfo b");
  EXPECT_TRUE(WordBecomes(freq, 7074000));
  EXPECT_EQ(Word(vfoBActive), 1);
  EXPECT_EQ(Word(mode), 4);
  ApplyEvent(trx, "trx freq 7100000");
  ApplyEvent(trx, "trx mode 3");
  EXPECT_TRUE(WordBecomes(freq, 7100000));
  EXPECT_TRUE(WordBecomes(mode, 3));
  EXPECT_EQ(Word(freqA), 14074000);

  ApplyEvent(trx, "trx mem on");
  EXPECT_TRUE(WordBecomes(freq, 14200000));
  ApplyEvent(trx, "trx mem off");
  ApplyEvent(trx, "trx tx on");
  EXPECT_TRUE(WordBecomes(b9bit6, 1));
  EXPECT_TRUE(WordBecomes(freq, 7100000));
  ApplyEvent(trx, "trx tx off");
  EXPECT_TRUE(WordBecomes(b9bit6, 0));
}

TEST_F(TrxLink, SpectrumLinesShowTheStationsOverTheNoiseFloor) {
  Start();
  const float *levels = works->trx.spectrum->levels;
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> lock(*works->trx.serMut);
    return levels[100] < -100;  // the first line is in: the record starts at 0 dB
  }));
  std::lock_guard<std::mutex> lock(*works->trx.serMut);
  EXPECT_GT(levels[100], -135);
  // The station on 14074000 Hz sits in the centre bin 512, level 512 − 85.
  EXPECT_GT(levels[427], -70);
}

TEST_F(TrxLink, ATuneRequestKeysTheCarrierAndReceiveEndsIt) {
  ApplyEvent(trx, "trx drive 12");
  Start();
  ASSERT_TRUE(WordBecomes(freq, 14074000));
  works->tuner.tuneStatus = 1;  // the carrier is for a running tune
  works->cfg.AutoTuneMode.fetch_or(0x20);
  ASSERT_TRUE(Heard("TU120;"));
  ASSERT_TRUE(Heard("TX2;"));
  EXPECT_TRUE(WordBecomes(b9bit6, 1));
  RfSource rf = world.Rf();
  EXPECT_TRUE(rf.on);
  EXPECT_EQ(rf.freqHz, 14074000);
  EXPECT_EQ(rf.driveW, 12);
  EXPECT_EQ(works->cfg.AutoTuneMode & 0x60, 0x40);

  works->cfg.AutoTuneMode.fetch_or(0x04);
  ASSERT_TRUE(Heard("RX;"));
  EXPECT_TRUE(WordBecomes(b9bit6, 0));
  EXPECT_FALSE(world.Rf().on);
  EXPECT_FALSE(trx.State().tx);
}

TEST_F(TrxLink, ASilentTransceiverRaisesError8OncePerHoldoffAndIsFollowedAgainAfter) {
  ClockSource previous = InstallFastClock(20);
  Start();
  ASSERT_TRUE(WordBecomes(freq, 14074000));
  ApplyEvent(trx, "trx silent 2");
  const char *line = "---------------------------------------TIMEOUT EXT IO 1\n";
  EXPECT_TRUE(WaitUntil([&] { return ExistError(works.works, ERR_TAVO_EXTIO) == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(log.ErrCount(line), 1);  // the hold-off stands: nobody counted it down
  works->trx.extIoHoldoff = 0;
  EXPECT_TRUE(WaitUntil([&] { return log.ErrCount(line) == 2; }));

  ApplyEvent(trx, "trx freq 14100000");  // heard once the silence is over
  EXPECT_TRUE(WordBecomes(freq, 14100000));
  WriteSetupFlag(works->cfg.setup->extIoRun, '0');
  link.join();  // before the clock goes back
  SetClockSource(previous);
}
