// The CAT relay against the simulated transceiver's CAT port, with a peer
// on the other end of the remote link; and the readiness check of remote
// operation.
#include "transceiver/cat_relay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "amplifier/errors.h"
#include "core/log.h"
#include "settings/setup_record.h"
#include "sim/receiver/usb_bus.h"
#include "sim/transceiver/transceiver.h"
#include "tests/remote/remote_harness.h"
#include "tests/support/sim_events.h"
#include "tests/support/wait.h"
#include "transceiver/remote_check.h"

namespace {
std::string Text(const PeerFrame &f) { return {f.payload.begin(), f.payload.end()}; }

struct CatRelay : ::testing::Test {
  void SetUp() override {
    linked.works->errors.errMask = 0;
    linked.works->cfg.setup->EnableCAT = '1';
    linked.works->core.pauseSecondMs = 100;  // the relay's start pause, as in a quick start
  }
  void TearDown() override {
    linked.works->core.running = 0;
    if (relay.joinable()) relay.join();
    trx.Stop();
  }
  void StartRelay() {
    relay = std::thread([this] {
      Cat(linked.works.works);
      ended = true;
    });
  }
  bool HasError(int code) {
    auto list = GetErrList(linked.works.works);
    return std::find(list.begin(), list.end(), code) != list.end();
  }
  TestSandbox box;
  LogCapture log;
  LinkedWorks linked;
  World world;
  TransceiverSim trx{SimContext{box.Root(), &world, true, "transceiver"}};
  std::thread relay;
  std::atomic<bool> ended{false};
};
}  // namespace

TEST_F(CatRelay, EveryMessageGoesToThePeerWholeUntilTheRelayIsStopped) {
  std::string error;
  ASSERT_TRUE(trx.Start(error)) << error;
  StartRelay();
  PeerFrame f;
  // The search leaves the answer's ';' in the port: it is relayed first.
  ASSERT_TRUE(linked.peer.ReadTagged("CA", f, 20));
  EXPECT_EQ(Text(f), ";");
  EXPECT_EQ(status_cat, 1);
  ApplyEvent(trx, "trx freq 7100000");
  ASSERT_TRUE(linked.peer.ReadTagged("CA", f, 10));
  EXPECT_EQ(Text(f), "FA00007100000;");

  // Another thread stops the relay; the relay closes its own port.
  ExitCAT(linked.works.works);
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }));
  EXPECT_EQ(linked.works->trx.catFD, -1);
  EXPECT_EQ(status_cat, 0);
  EXPECT_EQ(linked.works->remote.remoteFault, 1);
  EXPECT_EQ(linked.works->cfg.setup->EnableCAT, '0');
  EXPECT_TRUE(HasError(ERR_REMOTE_CAT));
}

TEST_F(CatRelay, WithoutATransceiverTheRelayReportsAndEnds) {
  StartRelay();
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }, 30));
  EXPECT_TRUE(log.ErrHas("CAT: Unable to open device /dev/ttyUSB0\n"));
  EXPECT_TRUE(HasError(ERR_REMOTE_CAT));
  EXPECT_EQ(linked.works->remote.remoteFault, 1);
  EXPECT_EQ(linked.works->cfg.setup->EnableCAT, '0');
}

TEST_F(CatRelay, ReadinessNamesWhatIsMissing) {
  Works *works = linked.works.works;
  SimUsbBus usb(box.Root());
  usb.Install();
  usb.SetPlugged(UsbSlot::Receiver, false);
  EXPECT_EQ(Find_Remote_Settings(works), 1);
  usb.SetPlugged(UsbSlot::Receiver, true);
  EXPECT_EQ(Find_Remote_Settings(works), 2);
  EXPECT_TRUE(log.ErrHas("---CAT: Unable to open device /dev/ttyUSB0\n"));
  std::string error;
  ASSERT_TRUE(trx.Start(error)) << error;
  usb.SetPlugged(UsbSlot::AudioCodec, false);
  EXPECT_EQ(Find_Remote_Settings(works), 3);
  EXPECT_EQ(VerifyAudioTAVO(works), 0);
  usb.SetPlugged(UsbSlot::AudioCodec, true);
  EXPECT_EQ(VerifyAudioTAVO(works), 1);
  EXPECT_EQ(Find_Remote_Settings(works), 0);
  // The check leaves no port open behind it: the relay opens its own.
  EXPECT_EQ(works->trx.catFD, -1);
}
