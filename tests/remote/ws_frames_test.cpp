// The frames a unit sends, read back byte by byte by the test-side peer, and
// the unit's frame reader on frames no peer may send.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "core/log.h"
#include "remote/ws_frame.h"
#include "remote/ws_send.h"
#include "tests/remote/remote_harness.h"

namespace {
// A frame source over bytes in memory; counts what the reader asked for.
struct MemorySource {
  std::vector<uint8_t> data;
  size_t at = 0;
  size_t asked = 0;
  static bool Read(void *context, uint8_t *buf, size_t n, bool) {
    auto *self = static_cast<MemorySource *>(context);
    self->asked += n;
    if (n > self->data.size() - self->at) return false;
    memcpy(buf, self->data.data() + self->at, n);
    self->at += n;
    return true;
  }
};

WsRead ReadFrom(MemorySource &source, WsFrame &frame) {
  return ReadWsFrame(WsSource{MemorySource::Read, &source}, frame, WS_SERVER_READ_TEXTS);
}
}  // namespace

TEST(RemoteSenders, ShortFramesCarryLengthTagAndPayload) {
  LinkedWorks w;
  PeerFrame f;
  sendWebSockCatFrame(w.works.works, "FA00014074000;", 14);
  ASSERT_TRUE(w.peer.Read(f));
  std::vector<uint8_t> expected = {0x82, 0x10, 'C', 'A'};
  for (char c : std::string("FA00014074000;")) expected.push_back(uint8_t(c));
  EXPECT_EQ(f.bytes, expected);

  // A CAT text longer than the short form goes in pieces, in order.
  std::string longText(200, 'X');
  longText.back() = ';';
  sendWebSockCatFrame(w.works.works, longText.c_str(), 200);
  std::string joined;
  for (size_t expectedLen : {123u, 77u}) {
    ASSERT_TRUE(w.peer.Read(f));
    EXPECT_EQ(f.bytes[1], expectedLen + 2);
    joined.append(f.payload.begin(), f.payload.end());
  }
  EXPECT_EQ(joined, longText);

  // A record is never split: what does not fit the short form is cut.
  std::string record(130, 'R');
  sendWebSockSerParFrame(w.works.works, reinterpret_cast<const uint8_t *>(record.data()), 130);
  ASSERT_TRUE(w.peer.Read(f));
  EXPECT_EQ(f.tag, "PA");
  EXPECT_EQ(f.payload.size(), 123u);
}

TEST(RemoteSenders, ChunksAudioAndEventFrames) {
  LinkedWorks w;
  PeerFrame f;
  std::vector<uint8_t> line(1000);
  for (size_t i = 0; i < line.size(); i++) line[i] = uint8_t(i * 7 + 1);
  sendWebSockSerSpectrFrame(w.works.works, line.data(), 1000);
  for (uint32_t offset : {0u, 512u}) {
    ASSERT_TRUE(w.peer.Read(f));
    ASSERT_EQ(f.bytes.size(), 526u);
    EXPECT_EQ(f.tag, "SP");
    EXPECT_EQ(f.bytes[2] << 8 | f.bytes[3], 522);
    EXPECT_EQ(GetBE32(f.payload.data()), 1000u);
    EXPECT_EQ(GetBE32(f.payload.data() + 4), offset);
    size_t data = std::min<size_t>(512, 1000 - offset);
    EXPECT_TRUE(
        std::equal(line.begin() + offset, line.begin() + offset + data, f.payload.begin() + 8));
    EXPECT_TRUE(std::all_of(f.payload.begin() + 8 + data, f.payload.end(),
                            [](uint8_t b) { return b == 0; }));
  }

  std::vector<uint8_t> packet(1920, 0x5A);
  ASSERT_TRUE(SendAudioPacket(w.works.works, packet.data(), 1920));
  ASSERT_TRUE(w.peer.Read(f));
  EXPECT_EQ(f.bytes.size(), 1930u);
  EXPECT_EQ(f.tag, "SO");
  EXPECT_EQ(f.bytes[2] << 8 | f.bytes[3], 1926);
  EXPECT_EQ(GetBE32(f.payload.data()), 1920u);

  sendWebSockEventFrame(w.works.works, 12, 345);
  ASSERT_TRUE(w.peer.Read(f));
  std::vector<uint8_t> event = {0x81, 0x0C, 0, 0, 0, 0};
  for (char c : std::string("XY0001200345")) event.push_back(uint8_t(c));
  EXPECT_EQ(f.bytes, event);
}

TEST(RemoteSenders, NothingGoesOutWithoutAPeerAndAGonePeerEndsTheConnection) {
  LogCapture log;
  LinkedWorks w;
  w.works->remote.wsConnected = 0;
  sendWebSockCatFrame(w.works.works, "FA;", 3);
  SendPeerStatus(w.works.works);
  EXPECT_EQ(w.link.Received(0.2), "");

  // The peer leaves: the next send fails without a signal and marks the
  // connection dead, so that the owner cycles it.
  w.works->remote.wsConnected = 1;
  w.peer.Close();
  close(w.link.test);
  w.link.test = -1;
  EXPECT_FALSE(WsSendFrame(w.works.works, reinterpret_cast<const uint8_t *>("\x82\x02ST"), 4));
  EXPECT_EQ(w.works->remote.wsConnected, 0);
  EXPECT_TRUE(log.SysHas("send to the peer failed, connection ended"));
}

// Frames of several threads never interleave: the peer parses every one.
TEST(RemoteSenders, ConcurrentSendersKeepFramesWhole) {
  LinkedWorks w;
  constexpr int ROUNDS = 200;
  std::vector<uint8_t> line(700, 0x33);
  std::thread status([&] {
    for (int i = 0; i < ROUNDS; i++)
      sendWebSockStatusFrame(w.works.works, std::string(44, 'S').c_str(), 44);
  });
  std::thread spectrum([&] {
    for (int i = 0; i < ROUNDS; i++) sendWebSockSerSpectrFrame(w.works.works, line.data(), 700);
  });
  int st = 0, sp = 0;
  PeerFrame f;
  while ((st < ROUNDS || sp < 2 * ROUNDS) && w.peer.Read(f, 10)) {
    if (f.tag == "ST" && f.payload == std::vector<uint8_t>(44, 'S'))
      st++;
    else if (f.tag == "SP" && f.bytes.size() == 526)
      sp++;
    else
      ADD_FAILURE() << "a broken frame";
  }
  status.join();
  spectrum.join();
  EXPECT_EQ(st, ROUNDS);
  EXPECT_EQ(sp, 2 * ROUNDS);
}

TEST(RemoteFrameReader, ReadsEveryFormAndRefusesCountsNoPeerMaySend) {
  LogCapture log;
  auto frame = std::make_unique<WsFrame>();
  struct Case {
    std::vector<uint8_t> bytes;
    WsRead result;
    size_t payload;
  };
  std::vector<uint8_t> chunk(526, 0);
  chunk[0] = 0x82, chunk[1] = 126, chunk[2] = 0x02, chunk[3] = 0x0A, chunk[4] = 'F', chunk[5] = 'B';
  const Case cases[] = {
      {ShortBinary("ST", std::string(44, 'x')), WsRead::Frame, 44},
      {TextFrame("lumarondesta"), WsRead::Frame, 12},
      {chunk, WsRead::Frame, 520},
      {{0x82, 127, 0, 0, 0, 6, 'Z', 'Z', 1, 2}, WsRead::Frame, 4},
      {{0x82, 0, 'C', 'A'}, WsRead::Malformed, 0},  // no room for a tag
      {{0x82, 1, 'C', 'A'}, WsRead::Malformed, 0},
      {{0x82, 126, 0, 1, 'F', 'B'}, WsRead::Malformed, 0},          // medium count below the tag
      {{0x82, 127, 0xFF, 0xFF, 0xFF, 0xFF}, WsRead::Malformed, 0},  // 4 GB
      // A standard client masks every frame: its key is read as a length.
      {{0x81, 0x85, 0x37, 0xFA, 0x21, 0x3D, 0x7F, 0x9F, 0x4D, 0x51, 0x58}, WsRead::Malformed, 0},
      {{0x82, 0x05, 'C', 'A', 'F'}, WsRead::Failed, 0},  // ends half-way
  };
  for (const Case &c : cases) {
    MemorySource source{c.bytes};
    EXPECT_EQ(ReadFrom(source, *frame), c.result) << int(c.bytes[1]);
    EXPECT_LE(source.asked, WS_FRAME_CAPACITY);
    if (c.result == WsRead::Frame) {
      EXPECT_EQ(frame->size, c.bytes.size());
      EXPECT_EQ(frame->PayloadSize(), c.payload);
    }
  }
  EXPECT_TRUE(log.SysHas("TCP read Error 3a"));
  EXPECT_TRUE(log.SysHas("TCP read Error 6a"));
}
