#include "transceiver/ext_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "sim/transceiver/ext_io_messages.h"
#include "tests/amplifier/link_harness.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_clock.h"
#include "tests/support/wait.h"
#include "transceiver/tavo_params.h"

namespace {
const char TIMEOUT_1[] = "---------------------------------------TIMEOUT EXT IO 1\n";
const char TIMEOUT_3[] = "---------------------------------------TIMEOUT EXT IO 3\n";

std::vector<uint8_t> Bytes(const std::string &text) { return {text.begin(), text.end()}; }

TEST(ExtIoLength, DigitsArriveLeastSignificantFirstAndLengthsFrom2000AreCut) {
  LogCapture log;
  EXPECT_EQ(ExtIoDataLength(Bytes("0040").data()), 1024);
  EXPECT_EQ(ExtIoDataLength(Bytes("0400").data()), 64);
  EXPECT_EQ(ExtIoDataLength(Bytes("?100").data()), 31);  // ':' .. '?' stand for A .. F
  EXPECT_EQ(ExtIoDataLength(Bytes("100G").data()), 0);   // not a digit: the text ends there
  EXPECT_TRUE(log.Err().empty());
  EXPECT_EQ(ExtIoDataLength(Bytes("0=70").data()), 1999);
  EXPECT_TRUE(log.ErrHas("----------> 3SERIAL : ERROR dataLength 2000   07D0!!!!!!\n"));
  EXPECT_EQ(ExtIoDataLength(Bytes("????").data()), 1999);
}

// The message loop on one end of a socket pair; the test is the transceiver.
class ExtIoLink : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = InstallFastClock(100);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    works->trx.serFD = fds[0];
    works->core.running = 1;
    works->tuner.modeWorkIdx = 1;
    works->errors.errMask = 0;  // the amplifier has answered: errors are recorded
  }
  void TearDown() override {
    Stop();
    close(fds[0]);
    close(fds[1]);
    SetClockSource(previous);
  }
  void Start() { loop = std::thread(ServeExtIoLink, works.works); }
  void Stop() {
    WriteSetupFlag(works->cfg.setup->extIoRun, '0');
    if (loop.joinable()) loop.join();
  }
  void Send(const std::vector<uint8_t> &bytes) {
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  void SendBlock(uint32_t hz) {
    TrxState radio;
    radio.freqA = hz;
    Send(FrameExtIoMessage(EXT_IO_PARAMETERS, EncodeParameterBlock(radio, false)));
  }
  std::string Received() {
    std::string text;
    char buf[256];
    for (ssize_t n; (n = read(fds[1], buf, sizeof buf)) > 0;) text.append(buf, n);
    return text;
  }
  std::string ReceivedWithin(size_t length) {
    std::string text;
    WaitUntil([&] { return (text += Received()).size() >= length; }, 5);
    return text;
  }
  int32_t Word(int word) {
    TavoParamsRecord copy{};
    getParameters(&copy, works.works);
    return copy.word[word];
  }
  bool FreqBecomes(int32_t hz) {
    return WaitUntil([&] { return Word(tavo::freq) == hz; }, 5);
  }

  TestWorks works;
  LogCapture log;
  ClockSource previous;
  int fds[2];
  std::thread loop;
};
}  // namespace

TEST_F(ExtIoLink, NoiseOtherTypesAndMismatchedKindsDoNotDisturbTheNextMessages) {
  Start();
  Send({0xFF, 0x20, 0x7F});  // noise: skipped
  Send(
      Bytes("\x02"
            "2"
            "4000"
            "\xA0\xA1"));  // type 2: its payload is left unread
  Send(
      Bytes("\x01"
            "0"
            "1000"));  // a block announced as a spectrum line
  SendBlock(7100000);
  std::vector<uint8_t> line(1024, 192 - 100);
  line[85] = 192 - 20;
  Send(FrameExtIoMessage(EXT_IO_SPECTRUM, line));
  ASSERT_TRUE(FreqBecomes(7100000));
  EXPECT_TRUE(WaitUntil([&] { return works->trx.spectrum->levels[0] == -20.0f; }, 5));
  EXPECT_FLOAT_EQ(works->trx.spectrum->levels[1], -100.0f);
  EXPECT_TRUE(log.SysHas("Error3", LOG_PRIO_ERR));
}

TEST_F(ExtIoLink, HandshakeRequestsGoOutAfterACompleteMessageInTheirOrder) {
  works->cfg.AutoTuneMode = 0x01 | 0x04 | 0x20;
  works->tuner.tuneStatus = 1;
  Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Received(), "");  // a silent transceiver is asked nothing
  SendBlock(14074000);
  EXPECT_EQ(ReceivedWithin(13), "RX;TU120;TX2;");
  EXPECT_EQ(works->cfg.AutoTuneMode, 0x01 | 0x08 | 0x40);
  EXPECT_TRUE(log.ErrHas("SENT TAVO RX;! (0x25)\n"));
  EXPECT_TRUE(log.ErrHas("SENT TAVO TX2;! (0x29)\n"));

  // Asked for as the tune ended (or was refused), the carrier is not sent.
  works->tuner.tuneStatus = 0;
  works->cfg.AutoTuneMode = 0x01 | 0x10 | 0x20;
  SendBlock(14075000);
  ASSERT_TRUE(WaitUntil([&] { return log.ErrHas("TAVO TX2 not sent: no tune runs (0x31)\n"); }));
  EXPECT_EQ(works->cfg.AutoTuneMode, 0x01 | 0x10);
  EXPECT_EQ(Received(), "");
}

// The tune page's test transmission asked while the amplifier is answering
// an antenna change: the one flag byte hands it over when "AN" comes back.
TEST_F(ExtIoLink, ManualTransmitWaitsForTheAmplifiersAntennaAnswer) {
  std::atomic<uint8_t> &flags = works->tuner.autoAntFlags;
  flags = TEST_TX_REQUEST | TEST_TX_ON | ANT_ANSWER_WAIT;
  Start();
  SendBlock(14074000);
  ASSERT_TRUE(FreqBecomes(14074000));
  SendBlock(14075000);
  ASSERT_TRUE(FreqBecomes(14075000));
  EXPECT_EQ(Received(), "");
  FeedReply(works.works, "AN1;");  // the amplifier's answer, through the link's decoder
  EXPECT_EQ(flags, TEST_TX_REQUEST | TEST_TX_ON | ANT_ANSWER_WAIT | ANT_ANSWER_DONE);
  SendBlock(14076000);
  EXPECT_EQ(ReceivedWithin(10), "TU120;TX2;");
  EXPECT_EQ(flags, TEST_TX_ON | ANT_ANSWER_WAIT | ANT_ANSWER_DONE);
  EXPECT_TRUE(log.ErrHas("SENT TAVO TX2...\n"));

  flags = TEST_TX_REQUEST;  // back to receive
  SendBlock(14077000);
  EXPECT_EQ(ReceivedWithin(3), "RX;");
  EXPECT_EQ(works->trx.rxHoldoff, 30);
  EXPECT_EQ(flags, 0);
}

TEST_F(ExtIoLink, SilenceIsReportedOncePerHoldoffWithError8ForTheCompanionTransceiver) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return log.ErrCount(TIMEOUT_1) == 1; }, 5));
  EXPECT_EQ(ExistError(works.works, ERR_TAVO_EXTIO), 1);
  EXPECT_EQ(works->trx.extIoHoldoff, EXT_IO_HOLDOFF_MS);
  // With the hold-off standing (nobody counts it down here) a further 1.5 s of
  // silence, several times over, reports nothing.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(log.ErrCount(TIMEOUT_1), 1);
  DeleteErrore(works.works, ERR_TAVO_EXTIO);
  works->trx.extIoHoldoff = 0;  // the timer's count-down has run out
  ASSERT_TRUE(WaitUntil([&] { return log.ErrCount(TIMEOUT_1) == 2; }, 5));
  EXPECT_EQ(ExistError(works.works, ERR_TAVO_EXTIO), 1);

  works->tuner.modeWorkIdx = 2;  // another interface: the line only
  DeleteErrore(works.works, ERR_TAVO_EXTIO);
  works->trx.extIoHoldoff = 0;
  ASSERT_TRUE(WaitUntil([&] { return log.ErrCount(TIMEOUT_1) == 3; }, 5));
  EXPECT_EQ(ExistError(works.works, ERR_TAVO_EXTIO), 0);
}

namespace {
// Reports of silence noted on the driven clock; the hold-off is let go at
// once, and the loop stops after the third.
Works *silentLink = nullptr;
std::vector<int64_t> silenceReports;
void NoteSilenceReport(int64_t now) {
  if (silentLink->trx.extIoHoldoff == 0) return;
  silenceReports.push_back(now);
  silentLink->trx.extIoHoldoff = 0;
  if (silenceReports.size() == 3) WriteSetupFlag(silentLink->cfg.setup->extIoRun, '0');
}
}  // namespace

TEST_F(ExtIoLink, SilenceIsReportedEveryOneAndAHalfSecondsHoweverLongAPollTakes) {
  const int64_t poll = 10000;  // each 1 ms look for a byte takes 10 ms
  silentLink = works.works;
  silenceReports.clear();
  ClockSource fast = InstallDrivenClock(poll - 1000, NoteSilenceReport);
  ServeExtIoLink(works.works);
  SetClockSource(fast);
  ASSERT_EQ(silenceReports.size(), 3u);
  for (size_t i = 1; i < silenceReports.size(); i++) {
    EXPECT_GE(silenceReports[i] - silenceReports[i - 1], 1500000) << i;
    EXPECT_LT(silenceReports[i] - silenceReports[i - 1], 1500000 + poll) << i;
  }
  EXPECT_EQ(log.ErrCount(TIMEOUT_1), 3);
}

TEST_F(ExtIoLink, LatePayloadIsReportedAndStillTaken) {
  Start();
  std::vector<uint8_t> message = FrameExtIoMessage(EXT_IO_PARAMETERS, [] {
    TrxState radio;
    radio.freqA = 21074000;
    return EncodeParameterBlock(radio, false);
  }());
  Send({message.begin(), message.begin() + 12});
  // On the fast clock the idle time-out may come first; its hold-off is let
  // go as the timer would, so that the late payload's own report shows.
  ASSERT_TRUE(WaitUntil(
      [&] {
        works->trx.extIoHoldoff = 0;
        return log.ErrHas(TIMEOUT_3);
      },
      5));
  Send({message.begin() + 12, message.end()});
  EXPECT_TRUE(FreqBecomes(21074000));
}

TEST_F(ExtIoLink, StopsWhileAMessageIsHalfIn) {
  Start();
  Send(
      Bytes("\x01"
            "1"
            "?100"
            "@00"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Stop();  // returns: the loop does not wait for ever for the missing bytes
  EXPECT_FALSE(loop.joinable());
}

TEST(ExtIoPort, APortThatCannotBeOpenedOrSetRaisesError25WithItsPath) {
  TestSandbox box;
  TestWorks works;
  LogCapture log;
  works->errors.errMask = 0;
  Serial(works.works);
  EXPECT_TRUE(log.SysHas("Unable to open device /dev/ttyUSB1", LOG_PRIO_ERR));
  EXPECT_EQ(ExistError(works.works, ERR_EXTIO_OPEN), 1);
  EXPECT_STREQ(GetErrDescr(works.works, ERR_EXTIO_OPEN).line2, "/dev/ttyUSB1");

  box.Write(box.Root() + "/dev/ttyUSB1", "not a terminal");
  Serial(works.works);
  EXPECT_TRUE(log.ErrHas("Serial: Unable to open device /dev/ttyUSB1\n"));
  EXPECT_EQ(works->trx.serFD, -1);
}
