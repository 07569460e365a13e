// The server and client threads of the remote link on loopback, each facing
// a test-side peer that speaks the protocol byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "amplifier/errors.h"
#include "core/log.h"
#include "remote/ws_client.h"
#include "remote/ws_send.h"
#include "remote/ws_server.h"
#include "settings/setup_record.h"
#include "sim/transceiver/ext_io_messages.h"
#include "tests/remote/remote_harness.h"
#include "tests/support/wait.h"
#include "transceiver/tavo_params.h"

namespace {
const char RFC_KEY[] = "dGhlIHNhbXBsZSBub25jZQ==";
const char RFC_ACCEPT[] = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";

std::vector<uint8_t> Raw(std::initializer_list<int> bytes) {
  std::vector<uint8_t> out;
  for (int b : bytes) out.push_back(uint8_t(b));
  return out;
}

std::string Text(const std::vector<uint8_t> &bytes) { return {bytes.begin(), bytes.end()}; }

// A unit's remote thread with its CAT and extended-IO ports as socket pairs.
struct RemoteUnit : ::testing::Test {
  void Start(void (*body)(Works *), char role) {
    w->errors.errMask = 0;        // errors are recorded as with an amplifier that answered
    w->core.pauseSecondMs = 100;  // the thread's start pause, as in a quick start
    w->cfg.setup->WebSocket = role;
    w->trx.catFD = cat.unit;
    w->trx.serFD = ser.unit;
    thread = std::thread([this, body] {
      body(w.works);
      ended = true;
    });
  }
  void TearDown() override { Stop(); }
  void Stop() {
    w->core.running = 0;
    if (thread.joinable()) thread.join();
    staticworks = nullptr;
  }
  bool Logged(const std::string &text, double seconds = 10) {
    return WaitUntil([&] { return log.SysHas(text); }, seconds);
  }
  TestSandbox box;
  LogCapture log;
  TestWorks w;
  SocketPair cat, ser;
  std::thread thread;
  std::atomic<bool> ended{false};
};

struct ServerUnit : RemoteUnit {
  void SetUp() override {
    port = FreeLoopbackPort();
    w->remote.TcpPort = uint16_t(port);
    Start(Wsocket, '1');
  }
  // A peer with the password accepted.
  void Join(WsPeer &peer) {
    ASSERT_TRUE(peer.Join(port, 20));
    ASSERT_TRUE(WaitUntil([&] { return w->remote.wsConnected == 1; }, 30));
  }
  int port = 0;
};

struct ClientUnit : RemoteUnit {
  void SetUp() override {
    w->remote.TcpPort = uint16_t(server.Port());
    strcpy(w->cfg.setup->Server, "127.0.0.1");
    Start(Wclient, '2');
  }
  PeerServer server;
};
}  // namespace

TEST_F(ServerUnit, ActsOnMessagesOnlyOnceThePasswordIsAccepted) {
  WsPeer peer;
  ASSERT_TRUE(peer.Connect(port, 20));
  std::string reply = peer.Upgrade(RFC_KEY);
  EXPECT_EQ(reply.rfind("HTTP/1.1 101 Switching Protocols\r\n", 0), 0u) << reply;
  EXPECT_EQ(WsPeer::AcceptOf(reply), RFC_ACCEPT);
  EXPECT_NE(reply.find("Sec-WebSocket-Protocol: chat\r\n\r\n"), std::string::npos);

  // Before the password nothing reaches the transceiver or the settings.
  int divide = w->cfg.Divide;
  ASSERT_TRUE(peer.Send(ShortBinary("CA", "TX;")));
  ASSERT_TRUE(peer.Send(ShortBinary("ST", "VORNFD7")));
  ASSERT_TRUE(Logged("ST message before the password: dropped"));
  EXPECT_TRUE(log.SysHas("CA message before the password: dropped"));
  EXPECT_EQ(cat.Received(0.2), "");
  EXPECT_EQ(w->cfg.Divide, divide);
  EXPECT_EQ(w->remote.wsConnected, 0);

  ASSERT_TRUE(peer.SendPassword());
  ASSERT_TRUE(Logged("Receiving data"));
  EXPECT_TRUE(log.SysHas("required >lumarondesta< equals to >lumarondesta<"));
  EXPECT_EQ(w->remote.wsConnected, 1);

  ASSERT_TRUE(peer.Send(ShortBinary("CA", "FA;")));
  EXPECT_EQ(cat.Received(), "FA;");
  ASSERT_TRUE(peer.Send(ShortBinary("PA", std::string("\x01\x02\0\x04", 4))));
  EXPECT_EQ(ser.Received(), std::string("\x01\x02\0\x04", 4));
  ASSERT_TRUE(peer.Send(ShortBinary("SC", "RX;")));
  EXPECT_EQ(ser.Received(), "RX;");
  EXPECT_TRUE(log.ErrHas("EIK, PA\n"));

  // A close frame is no message of this link: logged, the connection stays.
  ASSERT_TRUE(peer.Send(Raw({0x88, 0x02, 0x03, 0xE8})));
  ASSERT_TRUE(peer.Send(ShortBinary("ST", "VORNFD4")));
  ASSERT_TRUE(WaitUntil([&] { return w->cfg.Divide == 4; }));
  EXPECT_TRUE(log.SysHas("wrong message type: 88"));

  sendWebSockCatFrame(w.works, "FA00014074000;", 14);
  PeerFrame f;
  ASSERT_TRUE(peer.ReadTagged("CA", f));
  EXPECT_EQ(Text(f.payload), "FA00014074000;");
}

TEST_F(ServerUnit, AWrongPasswordEndsTheConnectionAndTheNextPeerIsServed) {
  WsPeer wrong;
  ASSERT_TRUE(wrong.Connect(port, 20));
  ASSERT_FALSE(wrong.Upgrade().empty());
  // The right password with more behind it is a wrong one.
  ASSERT_TRUE(wrong.SendPassword(std::string("lumarondesta\0junk", 17)));
  EXPECT_TRUE(wrong.ClosedByUnit(10));
  EXPECT_TRUE(log.SysHas("required >lumarondesta< differ from >lumarondesta"));
  EXPECT_EQ(w->remote.wsConnected, 0);
  WsPeer right;
  Join(right);
}

TEST_F(ServerUnit, HostileFramesEndTheConnectionOrAreDroppedAndTheServerGoesOn) {
  const std::vector<uint8_t> ending[] = {
      Raw({0x82, 0x00, 'C', 'A'}),  // no room for a tag
      Raw({0x82, 0x01, 'C', 'A'}),
      Raw({0x82, 126, 0x00, 0x01, 'F'}),                         // medium count below the tag
      Raw({0x82, 127, 0xFF, 0xFF, 0xFF, 0xFF}),                  // a 4 GB long form
      Raw({0x81, 0x85, 0x37, 0xFA, 0x21, 0x3D, 1, 2, 3, 4, 5}),  // a masked standard frame
      Raw({0x81, 126, 0x00, 0x10, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),  // a text
  };
  for (const auto &bytes : ending) {
    WsPeer peer;
    Join(peer);
    ASSERT_TRUE(peer.Send(bytes));
    EXPECT_TRUE(peer.ClosedByUnit(15)) << int(bytes[1]);
    ASSERT_TRUE(WaitUntil([&] { return w->remote.wsConnected == 0; }, 15));
  }
  EXPECT_TRUE(log.SysHas("frame of a wrong length: byte 1 0"));
  EXPECT_TRUE(log.SysHas("wrong message length: is 126 instead of 14"));

  WsPeer peer;
  Join(peer);
  std::vector<uint8_t> screen =
      Raw({0x82, 126, 0x02, 0x0A, 'F', 'B', 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x00});
  screen.resize(526, 0xEE);
  ASSERT_TRUE(peer.Send(screen));
  // An audio packet longer than its frame.
  ASSERT_TRUE(
      peer.Send(Raw({0x82, 126, 0x00, 0x0A, 'S', 'O', 0x00, 0x00, 0x10, 0x00, 1, 2, 3, 4})));
  ASSERT_TRUE(Logged("audio packet of 4096 bytes in a frame of 8 dropped"));
  ASSERT_TRUE(peer.Send(ShortBinary("CA", "FB;")));
  EXPECT_EQ(cat.Received(), "FB;");
  EXPECT_TRUE(log.SysHas("screen chunk dropped"));
}

// A peer that stops reading: the sender gives up after its time-out and the
// connection ends, instead of the sending thread (the timer) waiting for good.
TEST_F(ServerUnit, APeerThatStopsReadingEndsItsConnectionInsteadOfHoldingTheSender) {
  WsPeer stalled;
  Join(stalled);
  std::vector<uint8_t> line(1024, 0x55);
  ASSERT_TRUE(WaitUntil(
      [&] {
        sendWebSockSerSpectrFrame(w.works, line.data(), int(line.size()));
        return w->remote.wsConnected == 0;
      },
      120, 0));
  EXPECT_TRUE(log.SysHas("send to the peer failed, connection ended"));
  ASSERT_TRUE(Logged("TCP closed"));
  WsPeer next;
  Join(next);
}

TEST_F(ClientUnit, JoinsActsOnTheServersMessagesAndRejoinsWithTheSameKey) {
  WsPeer conn;
  std::string key;
  ASSERT_TRUE(server.Accept(conn, key, 20));
  EXPECT_EQ(key.size(), 24u);
  PeerFrame f;
  ASSERT_TRUE(conn.Read(f));
  EXPECT_EQ(f.bytes, TextFrame("lumarondesta"));
  ASSERT_TRUE(Logged("Websocket Connected"));
  EXPECT_TRUE(log.SysHas("keys correct " + ExpectedAccept(key), LOG_PRIO_ERR));

  ASSERT_TRUE(conn.Send(ShortBinary("ST", "40m 1000T0001.0000.00000.0025.0 0.000.30100")));
  ASSERT_TRUE(WaitUntil([&] { return log.ErrHas("BUFFER Wsocket : 40m 1000T"); }));
  EXPECT_EQ(std::string(w->remote.statusMsg, 4), "40m ");

  // The server's parameter block becomes this unit's, decoded as from the link.
  TrxState state;
  state.freqA = 7100000;
  std::vector<uint8_t> block = EncodeParameterBlock(state, false);
  ASSERT_TRUE(conn.Send(ShortBinary("PA", Text(block))));
  TestWorks reference;
  storeParameters(reference.works, int(block.size()), block.data());
  TavoParamsRecord expected{}, got{};
  getParameters(&expected, reference.works);
  ASSERT_TRUE(WaitUntil([&] {
    getParameters(&got, w.works);
    return memcmp(&got, &expected, sizeof got) == 0;
  }));
  EXPECT_EQ(got.word[tavo::freq], 7100000);

  ASSERT_TRUE(conn.Send(ShortBinary("CA", "FA00007100000;")));
  EXPECT_EQ(cat.Received(), "FA00007100000;");
  sendWebSockCatFrame(w.works, "FA;", 3);
  ASSERT_TRUE(conn.ReadTagged("CA", f));
  EXPECT_EQ(Text(f.payload), "FA;");

  // A frame no server may send ends the connection; the client comes back.
  ASSERT_TRUE(conn.Send(Raw({0x82, 0x00, 'S', 'T'})));
  EXPECT_TRUE(conn.ClosedByUnit(10));
  ASSERT_TRUE(Logged("reconnecting"));
  WsPeer again;
  std::string second;
  ASSERT_TRUE(server.Accept(again, second, 30));
  EXPECT_EQ(second, key);
}

TEST_F(ClientUnit, AServerClosingMidReplyIsLeftAndTriedAgain) {
  WsPeer conn;
  std::string key;
  ASSERT_TRUE(server.TakeRequest(conn, key, 20));
  ASSERT_TRUE(conn.Send("HTTP/1.1 101 Switching Protocols\r\n"));
  conn.Close();
  WsPeer again;
  ASSERT_TRUE(server.Accept(again, key, 30));
  EXPECT_TRUE(log.SysHas("reconnecting"));
  EXPECT_FALSE(ended);
}

TEST_F(ClientUnit, AWrongAcceptValueEndsTheClientWithError26) {
  WsPeer conn;
  std::string key;
  // The value of another key, as a server that digests only part of it sends.
  ASSERT_TRUE(server.Accept(conn, key, 20, ExpectedAccept("dGhlIHNhbXBsZSBub25jZQ")));
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }, 30));
  EXPECT_TRUE(log.SysHas("keys not correct"));
  auto errors = GetErrList(w.works);
  EXPECT_NE(std::find(errors.begin(), errors.end(), ERR_SOCKET_CLOSE), errors.end());
  EXPECT_EQ(w->remote.wsConnected, 0);
}
