// The key dispatch screen by screen on a test record: each table is a run of
// key presses with the amplifier commands each one queues and the screen
// state it leaves.
#include "ui/key_dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/filters.h"
#include "tests/support/sandbox.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/banks.h"
#include "tuner/tune_control.h"
#include "tuner/tune_word.h"
#include "ui/captions.h"

namespace {
constexpr bool SHORT = false, HELD = true;
using Commands = std::vector<int32_t>;

struct Step {
  int key;
  bool held;
  Commands commands;  // queued by the key, in order
  int32_t state;      // the screen state it leaves
  int repeat = 0;
  std::function<void()> then = nullptr;  // further checks, or the world changing
};

class KeyDispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    works->core.running = 1;
    works->errors.errMask = 0;
    works->tuner.modeWorkIdx = 1;
    works->link.currentFreq = 14074000;
    works->link.ampBypass = 0;  // in line
    LoadAllBankTable(works.works, works->cfg.NumBanco);
    InitButtonCaptions(works.works);
    link.Drain();
  }

  void Run(const std::vector<Step> &steps) {
    for (size_t i = 0; i < steps.size(); i++) {
      const Step &s = steps[i];
      SCOPED_TRACE("step " + std::to_string(i) + ": key " + std::to_string(s.key) +
                   (s.held ? " held" : " short"));
      int repeat = DecodeTasto(works.works, s.key, s.held ? 1 << (s.key - 1) : 0);
      EXPECT_EQ(repeat, s.repeat);
      EXPECT_EQ(link.Drain(), s.commands);
      EXPECT_EQ(works->ui.uiState, s.state);
      if (s.then) s.then();
    }
  }

  // Line 1 or 2 of a key as the bar would draw it now.
  std::string Caption(int page, int key, int line) {
    UpdateLabels(works.works, page);
    return CaptionPage(works.works, page).text[key - 1][line - 1];
  }
  std::string File(const std::string &name) const { return box.P().setDir + "/" + name; }

  StubTransceiverThreads threads;
  TestSandbox box;
  TestWorks works;
  LinkStandIn link{works.works};
  LogCapture log;
};

std::function<void()> Expect(std::function<bool()> holds, const char *what) {
  return [holds, what] { EXPECT_TRUE(holds()) << what; };
}
}  // namespace

TEST_F(KeyDispatch, MainScreenViewAntennaAttenuatorBankAndPages) {
  Works *w = works.works;
  std::vector<int> windows;
  auto window = [&] { windows.push_back(w->ui.mainWindow); };
  auto att = [&](const char *caption) {
    return [=, this] { EXPECT_EQ(Caption(0, 2, 2), caption); };
  };
  auto transmit = [w] { w->link.statusB = 1; };
  auto standby = [w] {
    EXPECT_EQ(w->link.attDisplay, 0);
    w->link.attDisplay = 4;
    w->link.bypassCmd = 1;
  };
  auto refused = [w] {
    EXPECT_TRUE(ExistError(w, ERR_CMD_NOT_AVAILABLE));
    EXPECT_EQ(w->link.attDisplay, 4);
    w->link.statusB = 0;
  };
  auto table = [&] {
    EXPECT_EQ(w->ui.uiFlags, UI_MEMORY_TABLE);
    EXPECT_EQ(Caption(6, 2, 2), "KRVTAVO");
  };
  auto nextBank = [&] {
    EXPECT_EQ(w->cfg.NumBanco, 2);
    EXPECT_NE(box.Read(File("setup.txt")).find("NumBanco: 2\n"), std::string::npos);
    EXPECT_EQ(Caption(0, 1, 2), "BANK2");
  };
  auto closed = Expect([w] { return w->ui.uiFlags == 0; }, "nothing over the main screen");
  Run({
      {6, SHORT, {}, 0, 0, window},
      {6, SHORT, {}, 0, 0, window},
      {6, SHORT, {}, 0, 0, window},
      {6, SHORT, {}, 0, 0, window},
      {6, SHORT, {}, 0, 0, window},
      // ANT: 2, 3, 1; held, it acts once and asks for no repeat.
      {3, SHORT, {CMD_SA}, 0},
      {3, SHORT, {CMD_SA}, 0},
      {3, SHORT, {CMD_SA}, 0, 0, Expect([w] { return w->tuner.antennaIdx == 0; }, "antenna 1")},
      {3, HELD, {CMD_SA}, 0, 0, Expect([w] { return w->tuner.antennaIdx == 1; }, "antenna 2")},
      // IN-ATT while receiving: 2, 3, 5 dB, standby, 0 dB with the amplifier
      // back in line; held, nothing.
      {2, SHORT, {CMD_AT}, 0, 0, att("  2dB")},
      {2, SHORT, {CMD_AT}, 0, 0, att("  3dB")},
      {2, SHORT, {CMD_AT}, 0, 0, att("  5dB")},
      {2, SHORT, {CMD_AB1}, 0, 0, att("  StBy")},
      {2, SHORT, {CMD_AT, CMD_AB0}, 0, 0, att("  0dB")},
      {2, HELD, {}, 0, 0, transmit},
      // Transmitting: the steps wrap after 5 dB, never into standby, and
      // out of standby the key is refused.
      {2, SHORT, {CMD_AT}, 0},
      {2, SHORT, {CMD_AT}, 0},
      {2, SHORT, {CMD_AT}, 0},
      {2, SHORT, {CMD_AT}, 0, 0, standby},
      {2, SHORT, {}, 0, 0, refused},
      // SET opens the menu, TUNE the tune screen; BACK from either.
      {5, SHORT, {}, 1},
      {1, SHORT, {}, 0},
      {4, SHORT, {}, 3},
      {1, SHORT, {}, 0},
      // MEM held: the memory table; MEM: the next bank, kept in setup.txt.
      {1, HELD, {}, 6, 0, table},
      {1, SHORT, {}, 0, 0, closed},
      {1, SHORT, {CMD_GS_SET}, 0, 0, nextBank},
      // VIEW held: the information pages, where only BACK acts.
      {6, HELD, {}, 13},
      {2, SHORT, {}, 13},
      {3, SHORT, {}, 13},
      {4, SHORT, {}, 13},
      {5, SHORT, {}, 13},
      {6, SHORT, {}, 13},
      {1, SHORT, {}, 0, 0, closed},
  });
  EXPECT_EQ(windows, (std::vector<int>{2, 3, 4, 5, 1}));
  EXPECT_TRUE(log.SysHas("type to 2\n", LOG_PRIO_INFO));
}

// VIEW resets a pending error instead of stepping, as its caption says;
// warnings alone leave it the view key.
TEST_F(KeyDispatch, ViewResetsAPendingErrorButNotAWarning) {
  Works *w = works.works;
  AddErrore(w, ERR_TEMP2_HIGH);
  Run({{6, SHORT, {}, 0, 0, Expect([w] { return w->ui.mainWindow == 2; }, "stepped")}});
  AddErrore(w, ERR_COMM);
  Run({{6, SHORT, {}, 0, 0, Expect([w] { return !ExistError(w, ERR_COMM); }, "reset")}});
  EXPECT_EQ(w->ui.mainWindow, 2);
}

TEST_F(KeyDispatch, TuneAndManualScreensTuneStepTransmitAndSave) {
  Works *w = works.works;
  w->cfg.AutoTuneMode = 1;
  auto caption = [&](int page, int key, int line, const char *text) {
    return [=, this] { EXPECT_EQ(Caption(page, key, line), text); };
  };
  auto tuneEnds = [&] {
    w->tuner.tuneStatus = 0;
    EXPECT_EQ(Caption(3, 3, 2), "   Off");
  };
  auto lowered = [&] {
    EXPECT_EQ(w->tuner.valL, 1);
    EXPECT_EQ(Caption(4, 3, 2), "     1");
    w->tuner.valC = 511;
  };
  auto networkB = [w] { w->tuner.modoTune = TUNE_MODE_B; };
  auto testTxOn = [&] {
    EXPECT_EQ(w->tuner.autoAntFlags, 0x03);
    EXPECT_EQ(Caption(4, 6, 1), "StopTX");
  };
  auto testTxOff = [&] {
    EXPECT_EQ(w->tuner.autoAntFlags, 0x01);
    EXPECT_EQ(Caption(4, 6, 1), "StartTX");
    w->tuner.autoAntFlags = 0;
    w->link.statusA = 1;  // the amplifier uses the antenna value
  };
  auto saveScreen = [&] {
    EXPECT_EQ(w->tuner.autoAntFlags, 0x01);
    EXPECT_EQ(Caption(4, 6, 1), "StartTX");
    EXPECT_EQ(Caption(8, 2, 2), "   1");
    EXPECT_EQ(Caption(8, 3, 2), "     1");
  };
  auto bypassTuner = [w] {
    EXPECT_EQ(w->ui.saveAntenna, 0);
    SetMode(w, TUNE_MODE_BYPASS);
  };
  auto notSaved = [&] {
    EXPECT_TRUE(w->ui.uiMessage & UI_MSG_BYPASS_NOT_SAVED);
    EXPECT_FALSE(std::filesystem::exists(File("atu_ant1_b1.txt")));
  };
  auto tunerInLine = [w] {
    SetMode(w, TUNE_MODE_B);
    SetI(w, 5);
  };
  auto saved = [&] {
    EXPECT_FALSE(w->ui.uiMessage & UI_MSG_BYPASS_NOT_SAVED);
    EXPECT_NE(box.Read(File("atu_ant1_b1.txt")).find(" 1 1 5 510\n"), std::string::npos);
  };
  auto standbyGeneric = [w] {
    w->link.attDisplay = 4;
    w->tuner.modeWorkIdx = 0;
  };
  auto errorPending = [w] { AddErrore(w, ERR_HI_SWR); };
  const Commands resend = {CMD_MP0, CMD_CP, CMD_FA, CMD_TS, CMD_AB0, CMD_AN, CMD_SA, CMD_AT};
  const Commands resendGeneric = {CMD_MP0, CMD_CP, CMD_TS, CMD_AB1, CMD_AN, CMD_SA, CMD_AT};
  Run({
      {4, SHORT, {}, 3},
      // TUNE C: the tune starts; BACK waits for its end.
      {3, SHORT, {CMD_MP1, CMD_AT_TUNE, CMD_TS, CMD_CP, CMD_MP0}, 3, 0, caption(3, 3, 2, "    On")},
      {1, SHORT, {}, 3, 0, tuneEnds},
      // ATU: bypassed, then the stored tune (none) back; TUNE F is refused
      // while the tuner is bypassed.
      {4, SHORT, {CMD_MT_BYPASS}, 3, 0, caption(3, 4, 2, "   Bpy")},
      {2, SHORT, {}, 3},
      {4, SHORT, {CMD_MT_CLEAR}, 3, 0, caption(3, 4, 2, "   On")},
      // MANUAL: the manual-tune screen; L and C step and repeat while held,
      // within 0..511; held BACK steps the network.
      {6, SHORT, {CMD_MT_QUERY}, 4},
      {3, HELD, {CMD_MT_SET}, 4, 1},
      {3, SHORT, {CMD_MT_SET}, 4, 0},
      {2, HELD, {CMD_MT_SET}, 4, 1, lowered},
      {5, HELD, {}, 4, 1, Expect([w] { return w->tuner.valC == 511; }, "C stops at 511")},
      {4, HELD, {CMD_MT_SET}, 4, 1, networkB},
      {1, HELD, {CMD_MT_SET}, 4, 0, caption(4, 1, 2, "LC")},
      // The test transmission, on and off; the amplifier's antenna value is
      // cleared first where the amplifier uses one.
      {6, SHORT, {}, 4, 0, testTxOn},
      {6, SHORT, {}, 4, 0, testTxOff},
      {6, SHORT, {CMD_AN}, 4, 0, Expect([w] { return w->tuner.autoAntFlags == 0x13; }, "on")},
      // BACK stops it and offers the save screen for this bank and antenna.
      {1, SHORT, {}, 8, 0, saveScreen},
      {2, SHORT, {}, 8},
      {2, SHORT, {}, 8, 0, Expect([w] { return w->ui.saveBank == 0; }, "bank wraps at MAXbank")},
      {3, SHORT, {}, 8},
      {3, SHORT, {}, 8},
      {3, SHORT, {}, 8, 0, bypassTuner},
      // SAVE refuses a bypassed tuner.
      {6, SHORT, {}, 3, 0, notSaved},
      // Manual mode was left on: MANUAL turns it off, then enters again.
      {6, SHORT, {}, 3},
      {6, SHORT, {CMD_MT_QUERY}, 4},
      {1, SHORT, {}, 8, 0, tunerInLine},
      {6, SHORT, {CMD_GS_SET}, 3, 0, saved},
      // MANUAL held: the amplifier's whole state again, in line or standby
      // as it is, the frequency only with a transceiver.
      {6, HELD, resend, 3, 0, standbyGeneric},
      {6, HELD, resendGeneric, 3, 0, errorPending},
      // With an error pending MANUAL is the error reset.
      {6, SHORT, {CMD_MP0, CMD_AB0, CMD_AT}, 3},
      {1, SHORT, {}, 0},
  });
}

// Held keys step faster than the link sends: one tuner word waits, and it
// goes out with the last value.
TEST_F(KeyDispatch, HeldTunerKeysKeepOneWordWaiting) {
  Works *w = works.works;
  w->ui.uiState = UI_STATE_MANUAL;
  for (int i = 0; i < 40; i++) EXPECT_EQ(DecodeTasto(w, 3, 0x04), 1);
  EXPECT_EQ(link.Drain(), (Commands{CMD_MT_SET}));
  EXPECT_EQ(w->tuner.valL, 40);
  EXPECT_EQ(DecodeInduttanzaFromTuneval(w->tuner.tuneVal), 40);
  EXPECT_EQ(link.Sent(),
            (std::vector<std::string>{StrPrintf("MT1%08X;", unsigned(w->tuner.tuneVal))}));
}

TEST_F(KeyDispatch, MemoryTableRowsCopyAndReset) {
  Works *w = works.works;
  // Bank 1 is current; bank 2 has files of its own.
  box.Write(File("antenna_b2.txt"), "!817\n80m 3500000 3800000 1 3 0 2 1.5\n");
  box.Write(File("atu_ant3_b2.txt"), "310 620000 1 1 10 20\n");
  const std::string bank1 = box.Read(File("antenna_b1.txt"));
  auto row = [w](int r) { return Expect([w, r] { return w->ui.tableRow == r; }, "row"); };
  auto column = [w](int c) { return Expect([w, c] { return w->ui.tableColumn == c; }, "column"); };
  auto caption = [&](int page, int key, const char *text) {
    return [=, this] { EXPECT_EQ(Caption(page, key, 2), text); };
  };
  auto staleRow = [w] { w->ui.tableRow = 40; };
  auto copyFromTo = [&] {
    EXPECT_EQ(w->ui.copyDest, 0);
    EXPECT_EQ(Caption(10, 2, 2), "    2");
    EXPECT_EQ(Caption(10, 3, 2), "    0");
  };
  auto copied = [&] {
    // Written with the present interface, as the bank's own were.
    EXPECT_EQ(box.Read(File("antenna.txt")), "!Tavo\n80m 3500000 3800000 1 3 0 2 1.5\n");
    EXPECT_EQ(box.Read(File("atu_ant3.txt")), "310 620000 1 1 10 20\n");
    AntennaRow r{};
    EXPECT_NE(AntennaRowOf(w, 14074000, r), -1) << "bank 1's table in use";
    EXPECT_EQ(w->tuner.idxRowAntenna, -1);
    EXPECT_EQ(box.Read(File("antenna_b1.txt")), bank1);
  };
  auto reset = [&] {
    EXPECT_FALSE(std::filesystem::exists(File("antenna.txt")));
    EXPECT_FALSE(std::filesystem::exists(File("atu_ant3.txt")));
    EXPECT_TRUE(std::filesystem::exists(File("antenna_b2.txt")));
    std::lock_guard<std::mutex> lock(w->tuner.antennaMutex);
    w->tuner.nRowAntenna = 0;
  };
  Run({
      {1, HELD, {}, 6},
      // UP and DOWN wrap over the rows; a row beyond them (a reload brought
      // fewer) counts as the last.
      {3, SHORT, {}, 6, 0, row(10)},
      {4, SHORT, {}, 6, 0, staleRow},
      {4, SHORT, {}, 6, 0, row(0)},
      {6, SHORT, {}, 7, 0, column(0)},
      {2, SHORT, {}, 7, 0, column(4)},
      {3, SHORT, {}, 7, 0, column(0)},
      {1, SHORT, {}, 6, 0, column(-1)},
      // Copy bank 2 to bank 0: its files, while bank 1 stays the working one.
      {5, SHORT, {}, 9},
      {2, SHORT, {}, 10, 0, Expect([w] { return w->ui.copySource == 1; }, "from this bank")},
      {2, SHORT, {}, 10},
      {3, SHORT, {}, 10},
      {3, SHORT, {}, 10},
      {3, SHORT, {}, 10, 0, copyFromTo},
      {6, SHORT, {CMD_GS_SET}, 6, 0, copied},
      // Reset: bank 1, 2, all, 0; START deletes bank 0's files.
      {5, SHORT, {}, 9},
      {3, SHORT, {}, 11, 0, caption(11, 2, "    1")},
      {2, SHORT, {}, 11},
      {2, SHORT, {}, 11, 0, caption(11, 2, "  ALL")},
      {2, SHORT, {}, 11, 0, caption(11, 2, "    0")},
      {6, SHORT, {CMD_GS_SET}, 6, 0, reset},
      // Without rows, UP, DOWN and ENTER do nothing.
      {3, SHORT, {}, 6},
      {4, SHORT, {}, 6},
      {6, SHORT, {}, 6, 0, row(0)},
      {1, SHORT, {}, 0, 0, Expect([w] { return w->ui.uiFlags == 0; }, "table closed")},
  });
}

TEST_F(KeyDispatch, MenuEditingAndFilterTable) {
  Works *w = works.works;
  w->input.ctrlFlags = CTRL_UI_UPDATE_REQUEST;
  w->ui.uiMessage = UI_MSG_UI_UPDATE;
  auto updateCleared = [w] {
    EXPECT_EQ(w->input.ctrlFlags, 0);
    EXPECT_EQ(w->ui.uiMessage, 0);
  };
  auto filterTable = [w] { w->ui.uiFlags = UI_FILTER_TABLE; };
  auto filterRow = [w](int r) {
    return Expect([w, r] { return w->cfg.filterMenuRow == r; }, "filter row");
  };
  auto enabled = [w](int on) {
    return Expect([w, on] { return w->cfg.tabFiltri[0].enabled == on; }, "filter 1");
  };
  Run({
      {5, SHORT, {}, 1},
      {1, SHORT, {}, 0, 0, updateCleared},
      {5, SHORT, {}, 1},
      {6, SHORT, {}, 2},
      {6, SHORT, {}, 1, 0, filterTable},
      {6, SHORT, {}, 2},
      // ENTER leads to the table that is shown.
      {6, SHORT, {}, 12},
      {2, SHORT, {}, 12, 0, filterRow(7)},
      {3, SHORT, {}, 12, 0, filterRow(0)},
      {5, SHORT, {}, 12, 0, enabled(1)},
      {6, SHORT, {}, 12, 0, enabled(0)},
      {1, SHORT, {}, 0, 0, Expect([w] { return w->ui.uiFlags == 0; }, "table closed")},
  });
}

namespace {
time_t wallNow = 1765188000;
time_t FakeWall() { return wallNow; }
}  // namespace

// A key on the screensaver only wakes the screen, to the background of what
// was showing; once the unit stops, keys do nothing.
TEST_F(KeyDispatch, ScreensaverWakeAndStoppedUnit) {
  Works *w = works.works;
  ClockSource clock = realClock;
  clock.wallSeconds = FakeWall;
  ClockSource previous = SetClockSource(clock);
  w->core.screenSaverOn = 1;
  w->ui.uiFlags = UI_INFO_PAGES;
  w->ui.uiState = UI_STATE_INFO;
  EXPECT_EQ(DecodeTasto(w, 1, 0), 0);
  EXPECT_EQ(w->ui.uiState, UI_STATE_INFO);
  EXPECT_EQ(std::string(w->display.imageName), "status");
  EXPECT_EQ(w->core.lastActivity, wallNow);
  EXPECT_EQ(w->core.screenSaverOn, 0);
  EXPECT_TRUE(log.ErrHas("----------> DISATTIVO SAVE SCREEN\n"));
  w->core.running = 0;
  w->ui.uiMessage = UI_MSG_LONG_PRESS;
  EXPECT_EQ(DecodeTasto(w, 1, 0), 0);
  EXPECT_EQ(w->ui.uiState, UI_STATE_INFO);
  EXPECT_EQ(w->ui.uiMessage, 0);
  SetClockSource(previous);
}
