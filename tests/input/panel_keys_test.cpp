// Key debounce and press timing, pass by pass on a clock the test moves.
#include "input/panel_keys.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/works.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_clock.h"

namespace {
constexpr int64_t PASS = 2000;  // µs

struct KeyEvent {
  int64_t t;
  int key, holdMask;
};
std::vector<KeyEvent> events;
std::set<int> repeating;  // keys the recording dispatch lets repeat

int RecordingDispatch(Works *, int key, int holdMask) {
  events.push_back({DrivenMicros(), key, holdMask});
  return holdMask != 0 && repeating.count(key);
}

uint32_t Released() { return PANEL_KEY_LINES; }
uint32_t Down(std::initializer_list<int> keys) {
  uint32_t levels = PANEL_KEY_LINES;
  for (int k : keys) levels &= ~(1u << (PANEL_FIRST_KEY_LINE + k - 1));
  return levels;
}

class PanelKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = InstallDrivenClock(0);
    events.clear();
    repeating.clear();
    keys.dispatch = RecordingDispatch;
    TIME_LONG_PRESS = 0.5;
  }
  void TearDown() override { SetClockSource(previous); }

  void Pass(uint32_t levels) {
    PanelKeysPass(works.works, keys, levels);
    SleepMicros(PASS);
  }
  void Passes(uint32_t levels, double seconds) {
    for (int64_t t = 0; t < seconds * 1e6; t += PASS) Pass(levels);
  }
  // Presses for `seconds`, then lets go long enough for the release to count.
  void Press(std::initializer_list<int> down, double seconds) {
    Passes(Down(down), seconds);
    Passes(Released(), 0.05);
  }

  ClockSource previous;
  TestWorks works;
  PanelKeys keys;
};
}  // namespace

TEST_F(PanelKeysTest, ShortPressAtReleaseLongPressOnceWithoutAShortOne) {
  Press({6}, 0.2);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].key, 6);
  EXPECT_EQ(events[0].holdMask, 0);

  events.clear();
  int64_t start = DrivenMicros();
  Press({6}, 1.0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].holdMask, 0x20);
  // Five samples of debounce, then the long-press time.
  int64_t after = events[0].t - start;
  EXPECT_GT(after, 500000 + 4 * PASS);
  EXPECT_LE(after, 500000 + 6 * PASS);
}

TEST_F(PanelKeysTest, HeldKeyRepeatsFourteenTimesSlowlyThenFast) {
  repeating = {3};
  Press({3}, 2.0);
  ASSERT_GE(events.size(), 17u);
  EXPECT_EQ(events[0].holdMask, 4);
  for (size_t i = 1; i < events.size() - 1; i++) {
    EXPECT_EQ(events[i].holdMask, 4) << i;
    int64_t gap = events[i].t - events[i - 1].t;
    int64_t period = i <= 14 ? 100000 : 20000;
    EXPECT_GT(gap, period) << i;
    EXPECT_LE(gap, period + PASS) << i;
  }
  // The release gives a short press too, also after repeats.
  EXPECT_EQ(events.back().holdMask, 0);
  EXPECT_EQ(events.back().key, 3);
}

TEST_F(PanelKeysTest, LongPressWarningComesOnlyBeforeTheFirstThreshold) {
  repeating = {3};
  Passes(Down({3}), 0.30);
  EXPECT_EQ(works->ui.uiMessage & UI_MSG_LONG_PRESS, 0);
  Passes(Down({3}), 0.10);  // within 0.15 s of the long press
  EXPECT_NE(works->ui.uiMessage & UI_MSG_LONG_PRESS, 0);
  Passes(Down({3}), 0.15);
  ASSERT_EQ(events.size(), 1u);
  works->ui.uiMessage = 0;  // as the key dispatch does
  Passes(Down({3}), 0.5);   // repeating
  EXPECT_GT(events.size(), 3u);
  EXPECT_EQ(works->ui.uiMessage & UI_MSG_LONG_PRESS, 0);
}

TEST_F(PanelKeysTest, SecondKeyIsIgnoredWhileTheFirstIsDown) {
  Passes(Down({2}), 0.1);
  Passes(Down({2, 3}), 0.2);
  Passes(Down({2}), 0.1);
  Passes(Released(), 0.1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].key, 2);
  EXPECT_EQ(events[0].holdMask, 0);
}

TEST_F(PanelKeysTest, NoiseNeverAddsUpToAPress) {
  auto glitches = [&](int n) {
    for (int i = 0; i < n; i++) {
      Pass(Down({6}));
      Passes(Released(), 3 * PASS / 1e6);
    }
  };
  glitches(3);
  glitches(4);
  Passes(Released(), 1.0);
  glitches(4);
  // Four differing samples, one agreeing, four again: still no press.
  Passes(Down({6}), 4 * PASS / 1e6);
  Pass(Released());
  Passes(Down({6}), 4 * PASS / 1e6);
  Passes(Released(), 0.1);
  EXPECT_TRUE(events.empty());
  // Five in a row are a press.
  Press({6}, 5 * PASS / 1e6);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].holdMask, 0);
}
