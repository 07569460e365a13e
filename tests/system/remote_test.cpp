// Remote operation on loopback: two units joined, and one unit facing a
// test-side peer that speaks the protocol byte by byte. Each test waits on
// what the units log and report, with wide margins.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "tests/support/sim_process.h"
#include "tests/support/sim_report.h"
#include "tests/support/sim_unit.h"
#include "tests/support/wait.h"
#include "tests/support/ws_peer.h"

namespace {
constexpr double START_LIMIT = SIM_UNIT_START_LIMIT;
constexpr double EVENT_LIMIT = SIM_UNIT_EVENT_LIMIT;
constexpr int SCREEN_W = 800, SCREEN_H = 480;

using Unit = SimUnit;

std::string RemoteSetup(char role, int port) {
  std::string setup = "WebSocket: " + std::string(1, role) + "\nTcpPort: " + std::to_string(port) +
                      "\nEnableCAT: 1\n";
  return role == '2' ? setup + "Server: 127.0.0.1\n" : setup;
}

// CAT texts the simulated transceiver received on its CAT port, in order.
std::vector<std::string> CatCommands(const std::string &report) {
  std::vector<std::string> texts;
  std::string part = ReportSection(report, "transceiver");
  std::regex command("\"port\":\"cat\",\"text\":\"([^\"]*)\"");
  for (std::sregex_iterator it(part.begin(), part.end(), command), end; it != end; ++it)
    texts.push_back((*it)[1]);
  return texts;
}

int Occurrences(const std::vector<std::string> &texts, const std::string &text) {
  return int(std::count(texts.begin(), texts.end(), text));
}

// Share of the snapshot's pixels within 12 of the colour (R, G, B).
double ShareOf(const std::string &png, int r, int g, int b) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, png.c_str())) return 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return 0;
  size_t near = 0;
  for (size_t i = 0; i + 2 < pixels.size(); i += 3)
    near +=
        abs(pixels[i] - r) <= 12 && abs(pixels[i + 1] - g) <= 12 && abs(pixels[i + 2] - b) <= 12;
  return double(near) / (pixels.size() / 3);
}

// A flat screen image in the screen's own byte order (blue, green, red, x).
std::vector<uint8_t> FlatScreen(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> image(size_t(SCREEN_W) * SCREEN_H * 4);
  for (size_t i = 0; i < image.size(); i += 4) image[i] = b, image[i + 1] = g, image[i + 2] = r;
  return image;
}

bool SendScreen(WsPeer &peer, const std::vector<uint8_t> &image) {
  for (const auto &chunk : ScreenChunks(image))
    if (!peer.Send(chunk)) return false;
  return true;
}

// The unit still shows the image several passes after it came: the share
// of the screen in its colour then (most of it; the unit may draw over it).
double ShownShare(Unit &unit, WsPeer &peer, const std::string &name, int r, int g, int b) {
  PeerFrame f;
  for (int passes = 0; passes < 10; passes++)
    if (!peer.ReadTagged("ST", f)) return 0;
  std::string png = unit.Root() + "/" + name + ".png";
  unit.Event("screen snapshot " + png);
  double share = 0;
  // Until the snapshot is there and written whole.
  WaitUntil([&] { return (share = ShareOf(png, r, g, b)) > 0.5; }, 30, 100);
  return share;
}
}  // namespace

TEST(Remote, TwoUnitsJoinAgainAndRelayCatStatusAndParameters) {
  int port = FreeLoopbackPort();
  Unit server("remote-server", RemoteSetup('1', port));
  // The client's own transceiver link is unplugged: what it knows of the
  // radio comes from the server.
  Unit client("remote-client", RemoteSetup('2', port), "0 trx extio off\n");
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(client.Logged("Websocket Connected", START_LIMIT)) << client.Output();
  EXPECT_TRUE(client.Log().find("keys correct") != std::string::npos);
  ASSERT_TRUE(server.Logged("Receiving data"));
  // Started in full (a stop half-way through the start-up would leave the
  // remote flags off in its settings).
  ASSERT_TRUE(server.Logged("OK works->catFD=", START_LIMIT));

  // The server goes away and comes back: the client tries every 2 s.
  ASSERT_EQ(server.Stop(), 0);
  ASSERT_TRUE(client.Logged("reconnecting"));
  ASSERT_TRUE(client.Logged("Connect Error", EVENT_LIMIT, 2));
  int relays = CountOf(server.Log(), "OK works->catFD=");
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(client.Logged("Websocket Connected", START_LIMIT, 2));
  ASSERT_TRUE(server.Logged("Receiving data", EVENT_LIMIT, 2));

  // A status frame every timer pass, naming the server's band.
  ASSERT_TRUE(client.Printed("BUFFER Wsocket : 20m ", EVENT_LIMIT, 50));
  ASSERT_TRUE(server.Logged("OK works->catFD=", START_LIMIT, relays + 1));
  ASSERT_TRUE(client.Logged("OK works->catFD=", START_LIMIT));
  // A new frequency at the client's transceiver moves the server's radio.
  int cats = CountOf(server.Log(), "EIK, CA");
  client.Event("trx freq 7100000");
  ASSERT_TRUE(client.Printed("BUFFER Wsocket : 40m "));
  // A query from the client's side is answered by the server's transceiver;
  // the answer has many passes' time to come back.
  client.Event("trx cat FA;");
  ASSERT_TRUE(server.Logged("EIK, CA", EVENT_LIMIT, cats + 2));
  int passes = CountOf(client.Output(), "BUFFER Wsocket : 40m ");
  ASSERT_TRUE(client.Printed("BUFFER Wsocket : 40m ", EVENT_LIMIT, passes + 50));
  ASSERT_EQ(client.Stop(), 0) << Tail(client.Log());
  ASSERT_EQ(server.Stop(), 0) << Tail(server.Log());

  // Both joins used the client's one key.
  std::set<std::string> keys;
  std::string log = server.Log();
  std::regex caught("Caught key ([A-Za-z0-9+/]{22}==)\n");
  for (std::sregex_iterator it(log.begin(), log.end(), caught), end; it != end; ++it)
    keys.insert((*it)[1]);
  EXPECT_EQ(keys.size(), 1u) << log;

  std::string serverReport = server.Report();
  std::vector<std::string> serverCat = CatCommands(serverReport);
  EXPECT_EQ(Occurrences(serverCat, "FA00007100000;"), 1);
  EXPECT_EQ(Occurrences(serverCat, "FA;"), 1);
  std::vector<AmpFrame> amp = AmplifierCommands(serverReport);
  EXPECT_TRUE(std::any_of(amp.begin(), amp.end(),
                          [](const AmpFrame &f) { return f.text == "FA00007100000;"; }));
  EXPECT_NE(ReportSection(serverReport, "controller").find("\"currentFreq\":7100000"),
            std::string::npos);

  std::string report = client.Report();
  // The server's transceiver announced the change and answered the query.
  EXPECT_EQ(Occurrences(CatCommands(report), "FA00007100000;"), 2) << report;
  std::string controller = ReportSection(report, "controller");
  EXPECT_NE(controller.find("\"tavoFreq\":7100000"), std::string::npos) << controller;
  EXPECT_NE(controller.find("\"statusMsg\":\"40m "), std::string::npos) << controller;
}

TEST(Remote, AUnitFacingAnOutsidePeer) {
  int port = FreeLoopbackPort();
  Unit unit("remote-peer", RemoteSetup('1', port));
  ASSERT_TRUE(unit.Start());
  ASSERT_TRUE(unit.Logged("Listening on port " + std::to_string(port), START_LIMIT));

  WsPeer peer;
  ASSERT_TRUE(peer.Connect(port));
  std::string reply = peer.Upgrade("dGhlIHNhbXBsZSBub25jZQ==");
  EXPECT_EQ(WsPeer::AcceptOf(reply), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
  ASSERT_TRUE(unit.Logged("OK works->catFD=", START_LIMIT));
  // Before the password a transmit command does not reach the transceiver.
  ASSERT_TRUE(peer.Send(ShortBinary("CA", "TX;")));
  ASSERT_TRUE(unit.Logged("CA message before the password: dropped"));
  ASSERT_TRUE(peer.SendPassword());
  ASSERT_TRUE(unit.Logged("Receiving data"));

  PeerFrame f;
  ASSERT_TRUE(peer.ReadTagged("ST", f));
  EXPECT_EQ(f.payload.size(), 44u);
  EXPECT_EQ(std::string(f.payload.begin(), f.payload.begin() + 4), "20m ");
  ASSERT_TRUE(peer.Send(ShortBinary("CA", "FA;")));
  bool answered = false;
  while (!answered && peer.ReadTagged("CA", f, 20))
    answered = std::string(f.payload.begin(), f.payload.end()) == "FA00014074000;";
  EXPECT_TRUE(answered);

  // Screen images become the background: raw, then a JPEG of the screen's size.
  ASSERT_TRUE(SendScreen(peer, FlatScreen(90, 200, 10)));
  EXPECT_GT(ShownShare(unit, peer, "raw", 90, 200, 10), 0.5);
  ASSERT_TRUE(SendScreen(peer, JpegOfPixels(FlatScreen(30, 60, 220), SCREEN_W, SCREEN_H)));
  EXPECT_GT(ShownShare(unit, peer, "jpeg", 30, 60, 220), 0.5);
  ASSERT_TRUE(SendScreen(peer, JpegHeaderOnly(16000, 16000)));
  ASSERT_TRUE(unit.Logged("screen image of 16000x16000 refused"));
  // A close frame is logged and the link goes on.
  ASSERT_TRUE(peer.Send(std::vector<uint8_t>{0x88, 0x02, 0x03, 0xE8}));
  ASSERT_TRUE(unit.Logged("wrong message type: 88"));
  ASSERT_TRUE(peer.ReadTagged("ST", f));

  // Hostile frames end their connection or are dropped; the unit goes on.
  std::vector<std::vector<uint8_t>> hostile = {
      {0x82, 0x00, 'C', 'A'},
      {0x82, 0x01, 'C', 'A'},
      {0x82, 127, 0xFF, 0xFF, 0xFF, 0xFF},
      {0x82, 126, 0x00, 0x0A, 'S', 'O', 0x00, 0x01, 0x00, 0x00, 1, 2, 3, 4},
  };
  std::vector<uint8_t> farChunk = ScreenChunks(std::vector<uint8_t>(600, 1))[1];
  farChunk[10] = 0x7F;  // offset 0x7F000200
  hostile.push_back(farChunk);
  for (const auto &bytes : hostile) {
    peer.Close();
    ASSERT_TRUE(peer.Join(port, 30));
    ASSERT_TRUE(peer.Send(bytes));
  }
  peer.Close();
  WsPeer masked;  // a standard client masks its frames, the password too
  ASSERT_TRUE(masked.Connect(port, 30));
  ASSERT_FALSE(masked.Upgrade().empty());
  ASSERT_TRUE(masked.Send(std::vector<uint8_t>{0x81, 0x8C, 0x37, 0xFA, 0x21, 0x3D, 1, 2, 3, 4, 5, 6,
                                               7, 8, 9, 10, 11, 12}));
  EXPECT_TRUE(masked.ClosedByUnit(20));
  EXPECT_TRUE(unit.Logged("audio packet of 65536 bytes in a frame of 8 dropped"));
  EXPECT_TRUE(unit.Logged("frame of a wrong length"));

  // A peer that connects and says nothing holds the unit only for a while.
  WsPeer silent;
  ASSERT_TRUE(silent.Connect(port, 30));
  WsPeer next;
  ASSERT_TRUE(next.Join(port, 30));
  ASSERT_TRUE(next.ReadTagged("ST", f, 40));
  next.Close();
  // A stop with a peer half-way through its request is orderly.
  const std::string requestLine = "Received 20 bytes GET /chat HTTP/1.1";
  int requests = CountOf(unit.Log(), requestLine);
  WsPeer halfway;
  ASSERT_TRUE(halfway.Connect(port, 30));
  ASSERT_TRUE(halfway.Send("GET /chat HTTP/1.1\r\n"));
  ASSERT_TRUE(unit.Logged(requestLine, EVENT_LIMIT, requests + 1));
  EXPECT_EQ(unit.Stop(), 0);
  EXPECT_TRUE(unit.Output().find("Closed!") != std::string::npos);

  std::vector<std::string> cat = CatCommands(unit.Report());
  EXPECT_EQ(Occurrences(cat, "TX;"), 0);
  EXPECT_EQ(Occurrences(cat, "FA;"), 1);
  EXPECT_NE(ReportSection(unit.Report(), "transceiver").find("\"tx\":false"), std::string::npos);
}
