// The receiver's stream thread against the simulated USB bus, with its
// spectrum lines read by a test-side peer.
#include "transceiver/usb_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "amplifier/errors.h"
#include "core/log.h"
#include "settings/setup_record.h"
#include "sim/receiver/usb_bus.h"
#include "tests/remote/remote_harness.h"
#include "tests/support/chunked_message.h"
#include "tests/support/wait.h"
#include "transceiver/tavo_params.h"

namespace {
struct UsbStreamTest : ::testing::Test {
  void SetUp() override {
    works->errors.errMask = 0;
    bus.Install();
    SetupRecord &s = *works->cfg.setup;
    WriteSetupFlag(s.EnableFFT, '1');
    WriteSetupFlag(s.fftRun, '1');
    WriteSetupFlag(s.Enable1600, '0');
    works->cfg.Divide = 1;
    works->core.running = 1;
  }
  void TearDown() override { Stop(); }
  void Start() {
    thread = std::thread([this] {
      TAVORead(works);
      ended = true;
    });
  }
  void Stop() {
    works->core.running = 0;
    if (thread.joinable()) thread.join();
  }
  std::vector<uint8_t> NextLine(double seconds = 10) {
    return ReadChunkedMessage(linked.peer, "SP", seconds);
  }
  int PeakOfNextLine() { return PeakOf(NextLine()); }
  static int PeakOf(const std::vector<uint8_t> &line) {
    return line.empty() ? -1 : int(std::max_element(line.begin(), line.end()) - line.begin());
  }
  // Lines wait in the socket while the test is busy: the first one that
  // shows a change can come several lines after the change.
  template <typename Pred>
  std::vector<uint8_t> LineWhere(Pred pred) {
    for (double end = Now() + 20; Now() < end;) {
      std::vector<uint8_t> line = NextLine();
      if (!line.empty() && pred(line)) return line;
    }
    return {};
  }
  // Reads until no line has come for a second.
  bool Drained() {
    for (int i = 0; i < 1000; i++)
      if (NextLine(1).empty()) return true;
    return false;
  }
  static double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  bool Logged(const std::string &text) {
    return WaitUntil([&] { return log.SysHas(text); }, 20);
  }
  bool HasError(int32_t code) { return ExistError(works, code) != 0; }

  TestSandbox box;
  LogCapture log;
  LinkedWorks linked;
  Works *works = linked.works.works;
  SimUsbBus bus{box.Root()};
  std::thread thread;
  std::atomic<bool> ended{false};
};
}  // namespace

TEST_F(UsbStreamTest, SetsUpTheReceiverStreamsLinesAndEndsWhenItIsUnplugged) {
  bus.Receiver().SetTone(0, -30);
  Start();
  EXPECT_EQ(PeakOfNextLine(), 427);
  for (const char *text : {"Operations init vorn-comms version 1.0\n", "KRV Device Opened\n",
                           "USB Driver Version: 2.7\n", "HW Version: 1.3\n", "KRV TAVO ",
                           "Serial: KRV-SIM-000000000000000000000001\n", "Device caught\n",
                           "libusb devices list freed\n", "Global Offset: 0.000000\n",
                           "LP Offset: 3.000000\n", "ATT Offset: 10.000000\n", "Stop FIFO\n",
                           "Init FIFO\n", "SYN Enabled\n", "SYN transfer starting\n"})
    EXPECT_TRUE(log.SysHas(text)) << text;
  EXPECT_FALSE(log.SysHas("Enable SYN failed"));

  // Tones above and below the centre land on their own side.
  bus.Receiver().Silence();
  bus.Receiver().SetTone(-18750, -30);
  EXPECT_FALSE(LineWhere([](const auto &line) { return PeakOf(line) == 327; }).empty());
  bus.Receiver().Silence();
  std::vector<uint8_t> silent = LineWhere([](const auto &line) {
    return std::all_of(line.begin(), line.end(), [](uint8_t b) { return b == 0; });
  });
  EXPECT_EQ(silent.size(), 854u);

  bus.SetPlugged(UsbSlot::Receiver, false);
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }, 20));
  // Transfers in flight complete with "no device"; those between their
  // callback and their resubmission are refused with the same code instead.
  EXPECT_TRUE(
      log.SysHas("CB result: Nodevice") ||
      log.SysHas("libusb_submit_transfer failed (" + std::to_string(LIBUSB_ERROR_NO_DEVICE)));
  EXPECT_TRUE(log.SysHas("TAVORead Operations end\n"));
  EXPECT_TRUE(HasError(ERR_REMOTE_USB));
  EXPECT_EQ(works->cfg.setup->EnableFFT, '0');
  EXPECT_EQ(works->remote.remoteFault, 1);
}

TEST_F(UsbStreamTest, OneLineGoesOutPerDivideTransfersAndNoneWithoutTheUsbSource) {
  bus.Receiver().SetTone(0, -30);
  works->cfg.Divide = 4;
  Start();
  ASSERT_FALSE(NextLine().empty());
  long long before = bus.Counters().completed;
  for (int i = 0; i < 12; i++) ASSERT_FALSE(NextLine().empty());
  long long transfers = bus.Counters().completed - before;
  EXPECT_GE(transfers, 12 * 4 - 4);
  EXPECT_LE(transfers, 12 * 4 + 4);

  // A divider below 1 counts as 1: lines keep coming.
  works->cfg.Divide = 0;
  for (int i = 0; i < 10; i++) ASSERT_FALSE(NextLine().empty());

  WriteSetupFlag(works->cfg.setup->fftRun, '0');
  ASSERT_TRUE(Drained());
  EXPECT_TRUE(NextLine(0.5).empty());
  WriteSetupFlag(works->cfg.setup->EnableFFT, '0');
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }, 20));
  EXPECT_TRUE(HasError(ERR_REMOTE_USB));  // every end of the stream says so
}

TEST_F(UsbStreamTest, TheLowPassOffsetCountsWhileTheTransceiverUsesIt) {
  bus.Receiver().SetTone(0, -40);
  Start();
  NextLine();
  std::vector<uint8_t> without = NextLine();
  {
    std::lock_guard<std::mutex> lock(*works->trx.serMut);
    works->trx.TavoParams->word[tavo::lp] = 1;
  }
  ASSERT_FALSE(without.empty());
  std::vector<uint8_t> with = LineWhere(
      [&](const auto &line) { return line.size() > 427 && line[427] - without[427] >= 2; });
  ASSERT_FALSE(with.empty());  // LP offset 3 dB, after truncation
  EXPECT_LE(with[427] - without[427], 4);
}

TEST_F(UsbStreamTest, EleventhFailedTransferInARowEndsTheStream) {
  bus.Stall(11);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }, 20));
  auto lines = log.Sys();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const LogCapture::SysLine &l) {
                            return l.text.rfind("CB result: Stalled ", 0) == 0;
                          }),
            11);
  EXPECT_TRUE(log.SysHas("libusb_err_counter (11)"));
  EXPECT_TRUE(HasError(ERR_REMOTE_USB));
}

TEST_F(UsbStreamTest, OtherModelsAndAMissingReceiverAreRefused) {
  bus.SetReceiverProduct(RECEIVER_M1_PRODUCT);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }, 20));
  EXPECT_TRUE(log.SysHas("KRV M1 ", LOG_PRIO_ERR));
  EXPECT_FALSE(log.SysHas("SYN Enabled"));
  EXPECT_TRUE(HasError(ERR_REMOTE_USB));
  thread.join();

  ended = false;
  bus.SetPlugged(UsbSlot::Receiver, false);
  WriteSetupFlag(works->cfg.setup->EnableFFT, '1');
  Start();
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }, 20));
  EXPECT_TRUE(log.SysHas("Cannot find KRV Device\n"));
  EXPECT_TRUE(log.SysHas("1 vid 0d8c pid 01af 0\n"));  // the codec is listed on the way
}

TEST_F(UsbStreamTest, TheAudioCodecCountFollowsTheBus) {
  EXPECT_EQ(Get_AudioTAVO(works), 1);
  EXPECT_TRUE(
      log.ErrHas("----------------- Bus 001 Device 003: ID 0d8c:01af USB Audio Device\n\n"));
  bus.SetPlugged(UsbSlot::AudioCodec, false);
  EXPECT_EQ(Get_AudioTAVO(works), 0);
}
