#include "ui/main_screen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/timer.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/ui/screen_support.h"
#include "tuner/tune_control.h"
#include "ui/info_page.h"

namespace {
// Each pause takes 1 ms of processor time and 40 ms of wall time.
int64_t processNow = 0, monotonicNow = 0;
time_t wallNow = 1765188000;
int64_t FakeProcess() { return processNow; }
int64_t FakeMonotonic() { return monotonicNow; }
time_t FakeWall() { return wallNow; }
void FakeSleep(int64_t) {
  processNow += 1000;
  monotonicNow += 40000;
}

struct TimerScreen : ScreenTest {
  void SetUp() override {
    ScreenTest::SetUp();
    previous = SetClockSource({FakeProcess, FakeMonotonic, FakeWall, FakeSleep});
    works->core.lastActivity = wallNow;
    works->core.lanInfoTime = wallNow;  // no network-information thread here
    works->core.forceFreq = 0;
    works->core.redraw = 1;
    works->tuner.modeWorkIdx = 1;
  }
  void TearDown() override {
    SetClockSource(previous);
    ScreenTest::TearDown();
  }
  std::vector<ScreenText> Pass() {
    TimerPass(works.works, ctx);
    return ShownScreenTexts();
  }
  TimerContext ctx;
  ClockSource previous;
  LogCapture log;
};

std::atomic<int> serialStarts{0};
void StandInSerial(Works *works) {
  serialStarts++;
  while (ReadSetupFlag(works->cfg.setup->extIoRun) == '1')
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}
}  // namespace

TEST_F(TimerScreen, EveryPassComposesTheWholeMainScreen) {
  Pass();
  auto texts = Pass();  // the second pass shows the main background
  EXPECT_NE(Find(texts, "FORWARD"), nullptr);
  EXPECT_NE(Find(texts, "KRVTAVO"), nullptr);
  // The top line: date and time, right-aligned to x 780.
  ScreenText top = texts.at(0);
  EXPECT_EQ(top.y, 17);
  EXPECT_EQ(top.x + getStringSpace(6, top.text.c_str()), 780);
  EXPECT_EQ(top.text.rfind("No Conn ", 0), 0u);  // the network text before any check
  EXPECT_EQ(top.text.size(), 27u);               // then a blank and the date

  // The information page alone: no top line, no meters.
  OpenInfoPages(works.works);
  texts = Pass();
  EXPECT_EQ(Find(texts, "FORWARD"), nullptr);
  EXPECT_NE(Find(texts, "VERSION"), nullptr);
  EXPECT_EQ(TextAt(texts, top.x, 17), "");
  WriteSetupFlag(works->cfg.setup->extIoRun, '0');
  EscFromStatus(works.works);
  works->ui.uiState = 0;

  // The screensaver shows its picture and nothing over it.
  works->core.lastActivity = wallNow - 3600;
  texts = Pass();
  EXPECT_EQ(works->core.screenSaverOn, 1);
  EXPECT_TRUE(texts.empty());
  EXPECT_EQ(memcmp(fb->screen, fb->back, fb->memSize), 0);
}

TEST_F(TimerScreen, PeakHoldCountsWallTimeNotProcessorTime) {
  works->cfg.EnablePwrPeak = 1;
  TimerPeakSec = 400;
  works->link.pwrInPeak = 40;
  ClearPeakNeedles(works.works);
  Pass();  // the first cycle does not feed the peak
  Pass();
  EXPECT_FLOAT_EQ(works->ui.fwdPeak, 40);
  EXPECT_EQ(works->ui.fwdPeakHold, 360);
  Pass();
  EXPECT_EQ(works->ui.fwdPeakHold, 320);
  TimerPeakSec = 3000;
}

TEST_F(TimerScreen, InformationPageRunsTheLinkAndReopeningNeverWaitsForEver) {
  threadBodies.Serial = StandInSerial;
  serialStarts = 0;
  works->tuner.modeWorkIdx = 0;  // a generic bank: the link is stopped
  WriteSetupFlag(works->cfg.setup->extIoRun, '0');
  for (int i = 0; i < 5; i++) {
    OpenInfoPages(works.works);
    KeepInfoPageLink(works.works);
    EXPECT_EQ(ReadSetupFlag(works->cfg.setup->extIoRun), '1');
    EscFromStatus(works.works);  // the generic bank's background stops it again
    EXPECT_EQ(ReadSetupFlag(works->cfg.setup->extIoRun), '0');
  }
  if (thrSer.joinable()) thrSer.join();
  EXPECT_EQ(serialStarts, 5);
  threadBodies = productThreadBodies;
}

// A port failure that has been dealt with brings the main screen back from
// any screen, and ends the manual-tune screen's test transmission.
TEST_F(TimerScreen, PortFailureDealtWithReturnsToTheMainScreen) {
  Pass();
  works->ui.uiState = UI_STATE_MANUAL;
  works->ui.uiFlags = UI_MEMORY_TABLE;
  works->ui.manualMode = 1;
  StartTestTransmission(works.works);
  works->core.linkErrState = -1;
  auto texts = Pass();
  EXPECT_EQ(works->core.linkErrState, 0);
  EXPECT_EQ(works->ui.uiState, UI_STATE_MAIN);
  EXPECT_EQ(works->ui.uiFlags, 0);
  EXPECT_EQ(works->ui.manualMode, 0);
  EXPECT_FALSE(TestTransmissionRunning(works.works));
  EXPECT_EQ(works->tuner.autoAntFlags, 0x01);  // the transceiver is told to receive
  EXPECT_NE(Find(texts, "FORWARD"), nullptr);
  EXPECT_EQ(TextAt(texts, 30, 472), "BANK1");
}
