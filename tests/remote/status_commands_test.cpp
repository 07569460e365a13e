// Status commands from the peer, and the accept value of the handshake.
#include "remote/status_commands.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "core/clock.h"
#include "core/log.h"
#include "remote/ws_handshake.h"
#include "settings/setup_record.h"
#include "tests/remote/remote_harness.h"

namespace {
void Command(Works *works, const char *text) {
  memset(works->remote.statusMsg, 0, sizeof works->remote.statusMsg);
  strncpy(works->remote.statusMsg, text, sizeof works->remote.statusMsg - 1);
  dispStat(works);
}
void NoSleep(int64_t) {}
}  // namespace

TEST(StatusCommands, SpectrumSourceAndDividerStayUsable) {
  LogCapture log;
  TestWorks w;
  SetupRecord &s = *w->cfg.setup;
  Command(w.works, "VORNFD4");
  EXPECT_EQ(w->cfg.Divide, 4);
  Command(w.works, "VORNFT01");
  EXPECT_EQ(s.fftRun, '1');
  EXPECT_EQ(s.Enable1600, '0');
  EXPECT_EQ(w->cfg.Divide, 4);
  Command(w.works, "VORNFD1");
  Command(w.works, "VORNFT02");
  EXPECT_EQ(s.Enable1600, '1');
  EXPECT_EQ(w->cfg.Divide, 2);
  Command(w.works, "VORNFT00");
  EXPECT_EQ(s.fftRun, '0');
  EXPECT_TRUE(log.ErrHas("BUFFER Wsocket : VORNFT00\n"));
  // A divider below 1 would stop the spectrum for good.
  for (const char *bad : {"VORNFD0", "VORNFD-3", "VORNFDxy"}) {
    Command(w.works, bad);
    EXPECT_EQ(w->cfg.Divide, 1) << bad;
  }
  Command(w.works, "VORNFD12345");
  EXPECT_EQ(w->cfg.Divide, 99);
  // A status record or an unknown command changes nothing.
  for (const char *other : {"20m 1000T0001.0000.00000.0025.0 0.000.30100", "VORNTU2", "VORN"})
    Command(w.works, other);
  EXPECT_EQ(w->cfg.Divide, 99);
  EXPECT_EQ(s.fftRun, '0');
}

TEST(StatusCommands, RebootAndBankChange) {
  TestSandbox box;
  LogCapture log;
  TestWorks w;
  ClockSource previous = SetClockSource(
      {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, NoSleep});
  Command(w.works, "VORNRB");
  SetClockSource(previous);
  EXPECT_TRUE(log.SysHas("front panel not running: command 197 dropped"));
  EXPECT_EQ(box.Read(box.Root() + "/var/sim/reboots"), "reboot\n");

  int bank = w->cfg.NumBanco;
  Command(w.works, "VORNBANK");
  EXPECT_NE(w->cfg.NumBanco, bank);
}

TEST(RemoteHandshake, TheAcceptValueCoversTheWholeDigest) {
  EXPECT_EQ(WsAcceptValue("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
  // Keys whose digest holds a zero byte are encoded whole too.
  std::mt19937 random(19);
  int withZero = 0;
  for (int i = 0; i < 400; i++) {
    uint8_t bytes[16];
    for (uint8_t &b : bytes) b = uint8_t(random());
    std::string key = WsClientKey(bytes);
    ASSERT_EQ(key.size(), 24u);
    std::string accept = WsAcceptValue(key);
    ASSERT_EQ(accept, ExpectedAccept(key));
    ASSERT_EQ(accept.size(), 28u);
    std::string text = key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    uint8_t digest[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const uint8_t *>(text.data()), text.size(), digest);
    withZero += std::count(digest, digest + sizeof digest, 0) > 0;
  }
  EXPECT_GT(withZero, 0);
}
