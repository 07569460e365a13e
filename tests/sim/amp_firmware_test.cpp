#include <gtest/gtest.h>

#include "amplifier/framing.h"
#include "sim/amplifier/firmware.h"

namespace {
// Sends a command text framed as the controller frames it; returns the reply
// text after checking its frame (upper-case CRC).
std::string Ask(AmpFirmware &fw, const std::string &text) {
  std::string reply = fw.Reply(FrameCommand(text));
  EXPECT_TRUE(FrameCrcMatches(reply.data(), reply.size())) << reply;
  EXPECT_EQ(reply.back(), ';');
  return reply.substr(2);
}

int Digits(const std::string &s, size_t pos) { return std::stoi(s.substr(pos, 4)); }
}  // namespace

TEST(AmpFirmware, FramingAndTheRejectedForm) {
  AmpFirmware fw;
  EXPECT_EQ(FrameCommand("ST;"), "4dST;");
  EXPECT_EQ(FrameCommand("VSM;"), "c2VSM;");
  EXPECT_TRUE(CommandCrcMatches("4dST;"));
  EXPECT_TRUE(CommandCrcMatches("4DST;"));  // either case from the controller's side
  EXPECT_FALSE(CommandCrcMatches("4eST;"));
  EXPECT_FALSE(CommandCrcMatches("zzST;"));
  EXPECT_EQ(fw.Reply("c2VSM;"), FrameReply(std::string("VSM") + AMP_FIRMWARE_VERSION + ";"));
  EXPECT_EQ(fw.Reply("4eST;"), FrameReply("ST?;"));  // bad CRC
  EXPECT_EQ(Ask(fw, "XY;"), "XY?;");                 // unknown command
  EXPECT_EQ(Ask(fw, "SA4;"), "SA?;");                // bad parameter, nothing changed
  EXPECT_EQ(fw.Model().Controls().antenna, 0);
  EXPECT_EQ(Ask(fw, "ST1;"), "ST?;");
  EXPECT_EQ(Ask(fw, "TS40954095150037;"), "TS?;");
  EXPECT_EQ(fw.Reply(";"), FrameReply("???;"));
  EXPECT_EQ(fw.Reply("ab"), FrameReply("???;"));
}

TEST(AmpFirmware, StatusReplyLayout) {
  AmpFirmware fw;
  AmpModel &m = fw.Model();
  m.SetRf({true, 7100000, 2});
  m.Controls().pads = PAD_3DB;
  Ask(fw, "AB0;");
  Ask(fw, "SF3000004;");
  Ask(fw, "MR0;");
  Ask(fw, "TS0100409515003700;");  // input-power threshold low: trips
  m.Advance(0.1);
  AmpReadings r = m.Readings();
  std::string st = Ask(fw, "ST;");
  ASSERT_EQ(st.size(), 37u);
  EXPECT_EQ(st.substr(0, 2), "ST");
  EXPECT_EQ(charToInt(st[2]), r.statusA);
  EXPECT_EQ(charToInt(st[3]), r.statusB);
  EXPECT_EQ(Digits(st, 4), r.countInput);
  EXPECT_EQ(Digits(st, 8), r.countForward);
  EXPECT_EQ(Digits(st, 12), r.countReflected);
  EXPECT_EQ(Digits(st, 16), r.countCurrent);
  EXPECT_EQ(Digits(st, 20), r.countTemp[0]);
  EXPECT_EQ(Digits(st, 24), r.countTemp[1]);
  // statusC: low nibble first.
  EXPECT_EQ(r.statusC, STC_INPUT_SENSOR);
  EXPECT_EQ(st.substr(28, 2), "80");
  EXPECT_EQ(st.substr(30, 2), "00");
  EXPECT_EQ(Digits(st, 32), r.countPeak);
  EXPECT_EQ(st[36], ';');
  EXPECT_EQ(r.statusA, 0x8);
  EXPECT_EQ(r.statusB, STB_TRANSMITTING | STB_PROTECTION);
  // A restart shows in the high nibble.
  m.Restart();
  EXPECT_EQ(Ask(fw, "ST;").substr(28, 2), "08");
}

TEST(AmpFirmware, QueryRepliesAndTheirLayouts) {
  AmpFirmware fw(120);
  std::string vs = Ask(fw, "VSM;");
  EXPECT_EQ(vs.size(), 11u);
  EXPECT_EQ(vs.substr(3, 7), AMP_FIRMWARE_VERSION);

  EXPECT_EQ(Ask(fw, "FM;"), "FM000000000000;");  // no RF
  Ask(fw, "FS10001;");
  fw.Model().SetRf({true, 14074000, 5});
  std::string fm = Ask(fw, "FM;");
  EXPECT_EQ(fm.size(), 15u);
  EXPECT_EQ(fm.substr(2, 1), "1");
  EXPECT_EQ(fm.substr(3, 11), "00014074000");

  for (int page = 0; page < 3; page++) {
    std::string er = Ask(fw, "ER000" + std::to_string(page) + ";");
    EXPECT_EQ(er.size(), 71u);
    EXPECT_EQ(er.substr(0, 6), "ER000" + std::to_string(page));
  }
  std::string er2 = Ask(fw, "ER0002;");
  EXPECT_EQ(er2.substr(6, 4), "3031");  // region '0', 120 W class '1'
  fw.Model().SetPowerClass(60);
  EXPECT_EQ(Ask(fw, "ER0002;").substr(8, 2), "30");
  EXPECT_EQ(Ask(fw, "ER0003;"), "ER?;");

  EXPECT_EQ(Ask(fw, "GS;"), "GS0000000000;");
  EXPECT_EQ(Ask(fw, "GS0200000001;"), "GS0200000001;");
  EXPECT_EQ(Ask(fw, "GS;"), "GS0200000001;");
  EXPECT_EQ(Ask(fw, "GS02;"), "GS?;");
  EXPECT_EQ(Ask(fw, "TU;"), "TU0;");
  EXPECT_EQ(Ask(fw, "TU1;"), "TU1;");
  EXPECT_EQ(Ask(fw, "TU;"), "TU1;");
  EXPECT_EQ(Ask(fw, "MT;"), "MT100000000;");
  EXPECT_EQ(Ask(fw, "SF;"), "SF3000000;");
}

TEST(AmpFirmware, SettingCommandsAreConfirmedAndKept) {
  AmpFirmware fw;
  const AmpControls &c = fw.Model().Controls();
  EXPECT_EQ(Ask(fw, "SA3;"), "SA3;");
  EXPECT_EQ(c.antenna, 2);
  EXPECT_EQ(Ask(fw, "FA00007100000;"), "FA00007100000;");
  EXPECT_EQ(c.controllerFreqHz, 7100000u);
  EXPECT_EQ(Ask(fw, "MT1008a0a0a;"), "MT1008A0A0A;");
  EXPECT_EQ(c.tuneWord, 0x008A0A0Au);
  EXPECT_EQ(Ask(fw, "AT10;"), "AT10;");
  EXPECT_EQ(c.pads, PAD_3DB);
  EXPECT_EQ(Ask(fw, "AT01;"), "AT01;");
  EXPECT_EQ(c.pads, PAD_2DB);
  EXPECT_EQ(Ask(fw, "AT12;"), "AT?;");
  EXPECT_EQ(Ask(fw, "AB0;"), "AB0;");
  EXPECT_FALSE(c.bypass);
  EXPECT_EQ(Ask(fw, "MP1;"), "MP1;");
  EXPECT_TRUE(c.protectionMode);
  EXPECT_EQ(Ask(fw, "AN1;"), "AN1;");
  EXPECT_EQ(c.anValue, 1);
  EXPECT_EQ(Ask(fw, "TS4095300015003702;"), "TS4095300015003702;");
  EXPECT_EQ(c.thresholds[TS_FWD], 3000);
  EXPECT_EQ(c.thresholds[TS_CURRENT], 3702);
  EXPECT_EQ(Ask(fw, "PS00011000-0010000;"), "PS00011000-0010000;");
  EXPECT_EQ(c.protectionParams[2], -1);
  EXPECT_EQ(Ask(fw, "FN1050;"), "FN1050;");
  EXPECT_EQ(c.fanLevel, 50);
  EXPECT_EQ(Ask(fw, "SF3000010;"), "SF3000010;");
  EXPECT_EQ(c.filterMask, 0x10);
  EXPECT_EQ(Ask(fw, "GM00020100;"), "GM00020100;");
  EXPECT_EQ(c.genericParams[1], 100);
  EXPECT_EQ(Ask(fw, "SE11234;"), "SE11234;");
  EXPECT_EQ(Ask(fw, "CPFFFF;"), "CPFFFF;");
  EXPECT_EQ(Ask(fw, "MR0;"), "MR0;");
  EXPECT_EQ(fw.Model().Readings().statusC & STC_RESTARTED, 0);
  // "MR1;" answers, then restarts to the power-on settings.
  EXPECT_EQ(Ask(fw, "MR1;"), "MR1;");
  EXPECT_EQ(c.antenna, 0);
  EXPECT_TRUE(c.bypass);
  EXPECT_NE(fw.Model().Readings().statusC & STC_RESTARTED, 0);
}

TEST(AmpFirmware, SplitterCutsFramesAndDropsNoise) {
  FrameSplitter s;
  std::string frame;
  std::vector<std::string> frames;
  for (char c : std::string("\r\n4dST;c2VSM;\n4d")) {
    if (s.Push(c, frame)) frames.push_back(frame);
  }
  EXPECT_EQ(frames, (std::vector<std::string>{"4dST;", "c2VSM;"}));
  for (char c : std::string("ST;")) {
    if (s.Push(c, frame)) frames.push_back(frame);
  }
  EXPECT_EQ(frames.back(), "4dST;");
  std::string noise(MAX_FRAME_BYTES + 10, 'x');
  for (char c : noise + "4dST;") {
    if (s.Push(c, frame)) frames.push_back(frame);
  }
  EXPECT_EQ(s.DiscardedBytes(), MAX_FRAME_BYTES);
  EXPECT_EQ(frames.back().substr(frames.back().size() - 5), "4dST;");
  EXPECT_LE(frames.back().size(), MAX_FRAME_BYTES);
}
