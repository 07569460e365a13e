// The front-panel keys through kestra-sim: every step presses keys on the
// simulated panel and waits for what they bring about (a caption, a screen
// state, a command the amplifier received), so that the machine's load does
// not matter; the checks read the snapshots, the amplifier's and the
// transceiver's records and the files afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "tests/support/screen_report.h"
#include "tests/support/sim_report.h"
#include "tuner/tune_word.h"

namespace {
struct Shot {
  std::vector<ReportText> texts;
  std::string Caption(int key, int line) const {
    static const int X1[] = {20, 143, 276, 409, 542, 675}, X2[] = {30, 153, 286, 419, 552, 695};
    return TextAt(texts, line == 1 ? X1[key - 1] : X2[key - 1], line == 1 ? 445 : 472);
  }
};

Shot Snap(const ScenarioRun &r, const std::string &name) {
  return {SnapshotTexts(r.report, r.root + "/" + name + ".png")};
}

// The amplifier's commands from `from` (an event's text) on, up to `to`.
std::vector<std::string> Between(const ScenarioRun &r, const std::string &from,
                                 const std::string &to = "") {
  double start = EventApplied(r.report, from), end = to.empty() ? 1e9 : EventApplied(r.report, to);
  EXPECT_GE(start, 0) << from;
  std::vector<std::string> texts;
  for (const AmpFrame &f : AmplifierCommands(r.report, start))
    if (f.t < end) texts.push_back(f.text);
  return texts;
}

std::vector<std::string> Starting(const std::vector<std::string> &texts,
                                  std::initializer_list<const char *> prefixes) {
  std::vector<std::string> kept;
  for (const std::string &t : texts)
    for (const char *p : prefixes)
      if (t.rfind(p, 0) == 0) kept.push_back(t);
  return kept;
}

uint32_t Word(const std::string &mt1) { return uint32_t(strtoul(mt1.c_str() + 3, nullptr, 16)); }

// When the transceiver received `text` after `after` seconds; −1 if never.
double TransceiverGot(const ScenarioRun &r, const std::string &text, double after) {
  std::string trx = ReportSection(r.report, "transceiver");
  std::regex command("\\{\"t\":([0-9.e+-]+),\"port\":\"[^\"]*\",\"text\":\"([^\"]*)\"\\}");
  for (std::sregex_iterator it(trx.begin(), trx.end(), command), end; it != end; ++it)
    if ((*it)[2] == text && std::stod((*it)[1]) > after) return std::stod((*it)[1]);
  return -1;
}

const char *PRESS = "panel press %d 0.2";
std::string Press(int key) {
  char text[32];
  snprintf(text, sizeof text, PRESS, key);
  return text;
}
}  // namespace

// The main screen, the tune screen and the manual-tune screen with the
// companion transceiver: windows, pages, antenna, attenuator, a tune, the
// held L key, the network, the test carrier, the state resent, the next bank.
TEST(Keys, MainTuneAndManualScreensThroughThePanel) {
  std::string s =
      "1 antenna 1 load 100 -50\n1 antenna 2 load 50 0\n1 trx freq 14200000\n"
      "1 screen await FORWARD within 150\n+0 amp await AB0;\n";
  // VIEW: windows 2, 3, 4, 5, 1.
  const char *windows[][2] = {
      {"SWR", "v2"}, {"PRWIN", "v3"}, {"dBm", "v4"}, {"+40", "v5"}, {"REFLECTED", "v1"}};
  for (auto &w : windows)
    s += "+0.3 " + Press(6) + "\n+0 screen await " + w[0] + "\n+0.3 screen snapshot " + w[1] +
         ".png\n";
  s +=
      // VIEW held: the information page, where ANT does nothing; BACK.
      "+0 panel down 6\n+0 screen await VERSION\n+0 panel up 6\n+0.3 screen snapshot info.png\n"
      "+0 panel press 3 0.3\n+0.5 panel press 1 0.3\n+0 unit await uiState 0\n"
      // MEM held: the memory table; BACK.
      "+0 panel down 1\n+0 screen await UTIL\n+0 panel up 1\n+0.3 screen snapshot mem.png\n"
      "+0 panel press 1 0.3\n+0 unit await uiState 0\n"
      // ANT three times; IN-ATT five times, the fifth while transmitting in
      // standby; the error that gives is reset by VIEW.
      "+0.3 panel press 3 0.2\n+0 amp await SA2;\n+0 " +
      Press(3) + "\n+0 amp await SA3;\n" + "+0 " + Press(3) + "\n+0 amp await SA1;\n" +
      "+0.3 panel press 2 0.25\n+0 amp await AT01;\n+0 " + Press(2) + "\n+0 amp await AT10;\n" +
      "+0 " + Press(2) + "\n+0 amp await AT11;\n+0 " + Press(2) + "\n+0 screen await StBy\n" +
      "+0 trx tx on\n+1 " + Press(2) +
      "\n+0 screen await RESET\n+0.3 screen snapshot reset.png\n"
      "+0 trx tx off\n+1 " +
      Press(2) + "\n+0 screen await 0dB\n+0 " + Press(6) +
      "\n+0 screen await VIEW\n+0.3 screen snapshot view.png\n"
      // TUNE, TUNE C: a whole tune.
      "+0 unit autotune on\n+0 " +
      Press(4) +
      "\n+0 unit await uiState 3\n"
      "+0 panel press 3 0.25\n+0 amp await MP1;\n+0.2 screen snapshot tuning.png\n"
      "+0 unit await tuneStatus 0\n+0.3 screen snapshot tuned.png\n+0 unit autotune off\n"
      // MANUAL; the test carrier on and off; up L held; BACK held, the next
      // network.
      "+0 panel press 6 0.25\n+0 unit await uiState 4\n+0 amp await MT;\n"
      "+0.3 panel press 6 0.25\n+0 screen await StopTX\n+1 " +
      Press(6) +
      "\n+0 screen await StartTX\n"
      "+0.3 screen snapshot before.png\n+0 panel down 3\n+5.5 panel up 3\n"
      "+1 screen snapshot manual.png\n+0.1 panel down 1\n+4 panel up 1\n"
      "+0.5 screen snapshot network.png\n"
      // BACK, ESC, TUNE; MANUAL held: the state resent; BACK; MEM.
      "+0.5 " +
      Press(1) + "\n+0 unit await uiState 8\n+0 " + Press(1) + "\n+0 unit await uiState 0\n+0 " +
      Press(4) + "\n+0 unit await uiState 3\n" +
      "+0.1 panel down 6\n+4 panel up 6\n+0.5 panel press 1 0.25\n+0 unit await uiState 0\n"
      "+0 panel press 1 0.35\n+0 screen await BANK2\n+2 sim stop\n";
  ScenarioRun r = RunSimScenario(
      SimScenario{"keys",
                  "WebSocket: 0\nBTN_longpress_Time: 20\n",
                  s,
                  300,
                  {{"opt/set/antenna_b2.txt", "!Tavo\n20m 14000000 14350000 1 2 0 1 0.0\n"},
                   {"opt/set/atu_ant2_b2.txt", "3130 14200000 1 2 30 40\n"}},
                  true,
                  true});
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_EQ(r.report.find("\"error\":"), std::string::npos) << "a step failed";
  std::string setup = ReadTextFile(r.root + "/opt/set/setup.txt");
  std::string atu = ReadTextFile(r.root + "/opt/set/atu_ant1_b1.txt");
  std::filesystem::remove_all(r.root);

  // VIEW steps the main window, its caption the window's number.
  const char *numbers[] = {"    2", "    3", "    4", "    5", "    1"};
  for (int i = 0; i < 5; i++) EXPECT_EQ(Snap(r, windows[i][1]).Caption(6, 2), numbers[i]) << i;
  EXPECT_EQ(Snap(r, "v1").Caption(1, 1), "  MEM");
  EXPECT_EQ(Snap(r, "v1").Caption(1, 2), "BANK1");
  // The information page has BACK alone; the memory table its own captions.
  Shot info = Snap(r, "info");
  EXPECT_EQ(info.Caption(1, 1), " BACK");
  for (int key = 2; key <= 6; key++) EXPECT_EQ(info.Caption(key, 1), "") << key;
  Shot mem = Snap(r, "mem");
  const char *memCaptions[] = {" BACK", " INTERF", "     UP", " DOWN", "   UTIL", "  ENTER"};
  for (int key = 1; key <= 6; key++) EXPECT_EQ(mem.Caption(key, 1), memCaptions[key - 1]);
  EXPECT_EQ(mem.Caption(2, 2), "KRVTAVO");
  EXPECT_EQ(TextAt(mem.texts, 155, 160), "");  // no meters under the table

  // ANT: 2, 3, 1, nothing from the information page; IN-ATT: the pads,
  // standby, refused while transmitting, back in line at 0 dB.
  std::vector<std::string> antennas =
      Starting(Between(r, "+0 panel press 3 0.3", "+0.3 panel press 2 0.25"), {"SA"});
  EXPECT_EQ(antennas, (std::vector<std::string>{"SA2;", "SA3;", "SA1;"}));
  std::vector<std::string> pads =
      Starting(Between(r, "+0.3 panel press 2 0.25", "+0 unit autotune on"), {"AT", "AB"});
  EXPECT_EQ(WithoutResends(pads),
            (std::vector<std::string>{"AT01;", "AT10;", "AT11;", "AB1;", "AT00;", "AB0;"}));
  EXPECT_EQ(Snap(r, "reset").Caption(6, 2), " Error ");
  EXPECT_EQ(TextAt(Snap(r, "reset").texts, 690, 445), "RESET");
  EXPECT_NE(r.run.output.find("err:17"), std::string::npos);
  EXPECT_EQ(Snap(r, "view").Caption(6, 2), "    1");  // the reset, not a step

  // The tune: on while it runs, stored when it ends.
  EXPECT_EQ(Snap(r, "tuning").Caption(3, 2), "    On");
  EXPECT_EQ(Snap(r, "tuned").Caption(3, 2), "   Off");
  std::string controller = ReportSection(r.report, "controller");
  std::smatch swr;
  ASSERT_TRUE(std::regex_search(controller, swr, std::regex("\"swrFinale\":([0-9.]+)")));
  EXPECT_LT(std::stod(swr[1]), 1.5);
  EXPECT_TRUE(std::regex_search(atu, std::regex("3130 14200000 1 [12] [0-9]+ [0-9]+\n"))) << atu;

  // Up L held: one word at a time, L never falling, the last the value shown;
  // the command queue never refused a command.
  std::vector<std::string> words =
      Starting(Between(r, "+0 panel down 3", "+0.1 panel down 1"), {"MT1"});
  ASSERT_GT(words.size(), 20u);
  int before = std::stoi(Snap(r, "before").Caption(3, 2));
  for (size_t i = 1; i < words.size(); i++)
    EXPECT_GE(DecodeInduttanzaFromTuneval(Word(words[i])),
              DecodeInduttanzaFromTuneval(Word(words[i - 1])));
  int shown = std::stoi(Snap(r, "manual").Caption(3, 2));
  EXPECT_EQ(DecodeInduttanzaFromTuneval(Word(words.back())), shown);
  EXPECT_GT(shown, before + 15);  // beyond the press and its slow repeats
  EXPECT_LE(shown, 511);
  EXPECT_EQ(r.run.output.find("queue full"), std::string::npos);
  // BACK held: the next network, shown and sent.
  std::string network = Snap(r, "network").Caption(1, 2);
  EXPECT_NE(network, Snap(r, "manual").Caption(1, 2));
  std::vector<std::string> sent = Starting(Between(r, "+0.1 panel down 1"), {"MT1"});
  ASSERT_FALSE(sent.empty());
  int mode = DecodeModoFromTuneval(Word(sent.front()));
  EXPECT_EQ(network, mode == TUNE_MODE_B ? "CL" : mode == TUNE_MODE_A ? "LC" : "ByP");
  // The test carrier: asked for, then ended.
  double on = TransceiverGot(r, "TX2;", EventApplied(r.report, "+0 panel press 6 0.25"));
  ASSERT_GT(on, 0);
  EXPECT_GT(TransceiverGot(r, "RX;", on), on);

  // MANUAL held: the amplifier's state resent in order.
  std::vector<std::string> resent = Between(r, "+0.1 panel down 6", "+0.5 panel press 1 0.25");
  auto first = std::find(resent.begin(), resent.end(), "MP0;");
  ASSERT_GE(resent.end() - first, 8) << ::testing::PrintToString(resent);
  std::vector<std::string> eight(first, first + 8);
  const char *expected[] = {"MP0;", "CPFFFF;", "FA00014200000;", "TS",
                            "AB0;", "AN",      "SA1;",           "AT00;"};
  for (int i = 0; i < 8; i++) EXPECT_EQ(eight[i].rfind(expected[i], 0), 0u) << eight[i];

  // MEM: bank 2, kept in setup.txt; its row and stored tune applied with no
  // new frequency.
  EXPECT_NE(setup.find("NumBanco: 2\n"), std::string::npos);
  std::vector<std::string> bank = Between(r, "+0 panel press 1 0.35");
  EXPECT_TRUE(Starting(bank, {"FA"}).empty());
  EXPECT_FALSE(Starting(bank, {"SA2;"}).empty());
  EXPECT_FALSE(Starting(bank, {"AT01;"}).empty());
  std::vector<std::string> stored = Starting(bank, {"MT1"});
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(DecodeInduttanzaFromTuneval(Word(stored.back())), 30);
  EXPECT_EQ(DecodeCapacitaFromTuneval(Word(stored.back())), 40);
}

// The error key, held and paired keys, and the bank utilities: a pending
// error is reset by VIEW, a warning is not; a held ANT acts once, a key
// pressed while another is down not at all; a bank copied and one reset
// through the memory table's screens.
TEST(Keys, ErrorResetPairedKeysCopyAndResetOfBanks) {
  const std::string bank2 = "!Tavo\n20m 14000000 14350000 0 3 1 2 7.5\n";
  const std::string atu2 = "3130 14200000 1 2 30 40\n";
  std::string s =
      "1 antenna 1 load 50 0\n1 trx freq 14200000\n1 screen await FORWARD within 150\n"
      "+0 amp await AB0;\n"
      // The link falls silent: error 4, VIEW becomes RESET and resets it.
      "+0.3 amp silence 9\n+0 screen await RESET within 60\n+4 screen snapshot error.png\n"
      "+0 panel press 6 0.2\n+0 screen await VIEW\n+0.3 screen snapshot reset.png\n"
      // ANT held; ANT pressed while IN-ATT is down.
      "+0 panel down 3\n+3.5 panel up 3\n+0.5 panel down 2\n+0.3 panel down 3\n"
      "+0.3 panel up 3\n+0.3 panel up 2\n+0 amp await AT01;\n"
      // UTIL, COPY, ORIGIN (bank 2), START: bank 2 copied to bank 0; ENTER,
      // SAVE, BACK: the current bank's table saved.
      "+0.3 panel down 1\n+0 screen await UTIL\n+0 panel up 1\n"
      "+0.3 panel press 5 0.2\n+0 unit await uiState 9\n"
      "+0.3 panel press 2 0.2\n+0 unit await uiState 10\n"
      "+0.3 panel press 2 0.25\n+0 unit await copySource 2\n"
      "+0.3 panel press 6 0.2\n+0 unit await uiState 6\n"
      "+0.3 panel press 6 0.25\n+0 unit await uiState 7\n+0.3 panel press 6 0.3\n"
      "+0.3 panel press 1 0.2\n+0 unit await uiState 6\n"
      // UTIL, RESET, BANK 2, all, 0, 1, 2, START: bank 2 reset.
      "+0.3 panel press 5 0.25\n+0 unit await uiState 9\n"
      "+0.3 panel press 3 0.2\n+0 unit await uiState 11\n";
  for (int bank : {2, 3, 0, 1, 2})
    s += "+0.3 panel press 2 0.2\n+0 unit await resetBank " + std::to_string(bank) + "\n" +
         (bank == 3 ? "+0.2 screen snapshot all.png\n" : "");
  s += "+0.3 panel press 6 0.35\n+0 unit await uiState 6\n+0.3 panel press 1 0.35\n"
       "+0 unit await uiState 0\n"
       // A heat-sink warning alone: VIEW steps the window.
       "+0 amp temp 2 90\n+0 screen await 2-Warning\n+0.3 screen snapshot warning.png\n"
       "+0 panel press 6 0.3\n+0 screen await SWR\n+0.5 sim stop\n";
  ScenarioRun r = RunSimScenario(
      SimScenario{"keys-banks",
                  "WebSocket: 0\nBTN_longpress_Time: 20\n",
                  s,
                  300,
                  {{"opt/set/antenna_b2.txt", bank2}, {"opt/set/atu_ant2_b2.txt", atu2}},
                  true,
                  true});
  ASSERT_EQ(r.run.exitStatus, 0) << r.run.output;
  EXPECT_EQ(r.report.find("\"error\":"), std::string::npos) << "a step failed";
  auto file = [&](const char *name) { return ReadTextFile(r.root + "/opt/set/" + name); };
  auto exists = [&](const char *name) {
    return std::filesystem::exists(r.root + "/opt/set/" + name);
  };
  // The copy: bank 0's files are bank 2's; bank 1's own table was saved as
  // bank 1's. The reset deleted bank 2's files only.
  EXPECT_EQ(file("antenna.txt"), bank2);
  EXPECT_EQ(file("atu_ant2.txt"), atu2);
  std::string bank1 = file("antenna_b1.txt");
  EXPECT_EQ(bank1.find("7.5"), std::string::npos) << bank1;
  EXPECT_NE(bank1.find("20m 14000000 14350000 1 2 0 1"), std::string::npos) << bank1;
  EXPECT_FALSE(exists("antenna_b2.txt"));
  EXPECT_FALSE(exists("atu_ant2_b2.txt"));
  std::filesystem::remove_all(r.root);

  // Error 4: RESET on VIEW, the reset keeps the window.
  Shot error = Snap(r, "error");
  EXPECT_EQ(TextAt(error.texts, 690, 445), "RESET");
  EXPECT_EQ(error.Caption(6, 2), " Error ");
  EXPECT_EQ(Snap(r, "reset").Caption(6, 2), "    1");
  EXPECT_NE(r.run.output.find("ERRORI"), std::string::npos);
  // One antenna step for the held key, none for the one pressed second.
  EXPECT_EQ(Starting(Between(r, "+0 panel down 3", "+0.3 panel down 1"), {"SA", "AT"}),
            (std::vector<std::string>{"SA2;", "AT01;"}));
  EXPECT_EQ(Snap(r, "all").Caption(2, 2), "  ALL");
  // The warning leaves VIEW as it is.
  EXPECT_EQ(Snap(r, "warning").Caption(6, 1), "   VIEW");
}
