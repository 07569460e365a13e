// The service keyboard: which events act, and the keyboard thread against
// the simulated keyboard in a sandbox (its 20 s waits on a fast clock).
#include "input/keyboard.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/log.h"
#include "core/works.h"
#include "input/keyboard_events.h"
#include "sim/keyboard/keyboard_device.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_clock.h"
#include "tests/support/wait.h"

namespace {
input_event Ev(uint16_t type, uint16_t code, int32_t value) {
  input_event ev{};
  ev.type = type;
  ev.code = code;
  ev.value = value;
  return ev;
}

SimContext Context(const std::string &root) {
  SimContext context;
  context.root = root;
  return context;
}

int Count(const LogCapture &log, const std::string &text) {
  int n = 0;
  for (const auto &line : log.Sys()) n += line.text == text;
  return n;
}
}  // namespace

TEST(KeyboardEvents, OnlyPressesOfTheFourServiceKeysAct) {
  struct Case {
    input_event ev;
    ServiceKey key;
  } cases[] = {
      {Ev(EV_KEY, KEY_SYSRQ, 1), ServiceKey::Screenshot},
      {Ev(EV_KEY, KEY_F12, 1), ServiceKey::Exit},
      {Ev(EV_KEY, KEY_F11, 1), ServiceKey::SaveSetup},
      {Ev(EV_KEY, KEY_F10, 1), ServiceKey::RemoteService},
      {Ev(EV_KEY, KEY_F11, 2), ServiceKey::None},  // auto-repeat
      {Ev(EV_KEY, KEY_F12, 0), ServiceKey::None},  // release
      {Ev(EV_KEY, KEY_A, 1), ServiceKey::None},
      {Ev(EV_MSC, KEY_F12, 1), ServiceKey::None},  // a scan code that happens to match
  };
  for (const Case &c : cases) EXPECT_EQ(ServiceKeyOf(c.ev), c.key) << c.ev.type << " " << c.ev.code;
}

TEST(KeyboardEvents, EventIsWholeOnlyAfterAllItsBytes) {
  input_event sent = Ev(EV_KEY, KEY_F10, 1);
  const char *bytes = reinterpret_cast<const char *>(&sent);
  InputEventBuffer buffer;
  size_t pieces[] = {1, 7, sizeof sent - 8};
  size_t at = 0;
  for (size_t i = 0; i < 3; i++) {
    ASSERT_LE(pieces[i], buffer.RestSize());
    memcpy(buffer.Rest(), bytes + at, pieces[i]);
    at += pieces[i];
    EXPECT_EQ(buffer.Filled(pieces[i]), i == 2);
  }
  EXPECT_EQ(ServiceKeyOf(buffer.ev), ServiceKey::RemoteService);
  EXPECT_EQ(buffer.RestSize(), sizeof sent);
}

class KeyboardThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = InstallFastClock(200);                 // the 20 s waits take 0.1 s
    box.Write(box.P().setupFile, "EnableKeyb: 1\n");  // many keys missing
    works->core.running = 1;
  }
  void TearDown() override {
    works->core.running = 0;
    if (thread.joinable()) thread.join();
    device.Stop();
    SetClockSource(previous);
  }
  void Start() {
    thread = std::thread([this] {
      keyb(works.works);
      ended = true;
    });
  }
  void Press(int code) {
    device.SendKey(code, 1);
    device.SendKey(code, 0);
  }
  bool Logged(const std::string &text, int times = 1) {
    return WaitUntil([&] { return Count(log, text) >= times; });
  }

  TestSandbox box;
  ClockSource previous;
  TestWorks works;
  LogCapture log;
  KeyboardDevice device{Context(box.Root())};
  std::thread thread;
  std::atomic<bool> ended{false};
};

TEST_F(KeyboardThreadTest, ServiceKeysActOnceAndF12EndsTheProgram) {
  std::string error;
  ASSERT_TRUE(device.Start(error)) << error;
  Start();
  ASSERT_TRUE(Logged("Keyboard opened"));
  Press(KEY_A);
  Press(KEY_SYSRQ);
  ASSERT_TRUE(Logged("launched screenshot"));
  EXPECT_EQ(box.Read(box.Root() + "/var/sim/fbgrab"), box.P().screenshotFile + "\n");
  Press(KEY_F10);
  ASSERT_TRUE(Logged("launched ssh"));
  EXPECT_EQ(box.Read(box.Root() + "/var/sim/sshshell"), "sshshell\n");
  EXPECT_TRUE(WaitUntil([&] { return works->input.ctrlFlags & CTRL_REMOTE_SERVICE; }));

  // Held: one press, repeats, one release; saved once, with every key.
  device.SendKey(KEY_F11, 1);
  for (int i = 0; i < 5; i++) device.SendKey(KEY_F11, 2);
  device.SendKey(KEY_F11, 0);
  Press(KEY_F12);
  ASSERT_TRUE(WaitUntil([&] { return bool(ended); }));
  EXPECT_EQ(works->core.running, 0);
  EXPECT_EQ(Count(log, "Save setup"), 1);
  EXPECT_NE(box.Read(box.P().setupFile).find("Peak_Time: 3000\n"), std::string::npos);
  EXPECT_TRUE(log.SysHas("Exited by KEY_F12"));
  EXPECT_EQ(box.Read(box.Root() + "/var/sim/stty"), "-echo\nsane\n");
  // The simulated device is a FIFO: the failed grab is noted and reading goes on.
  EXPECT_TRUE(log.SysHas("Cannot grab " + device.Path() + ", error ", LOG_PRIO_ERR));
  EXPECT_EQ(log.Sys().back().text, "Exited by KEY_F12");  // the other keys logged nothing
}

TEST_F(KeyboardThreadTest, UnpluggedKeyboardIsLoggedOnceAndFoundAgain) {
  std::string error;
  ASSERT_TRUE(device.Start(error)) << error;
  Start();
  ASSERT_TRUE(Logged("Keyboard opened"));
  device.Unplug();
  ASSERT_TRUE(Logged("error reading " + device.Path() + ", error 19 -No such device"));
  ASSERT_TRUE(device.Plug(error)) << error;
  ASSERT_TRUE(Logged("Keyboard opened", 2));
  EXPECT_EQ(Count(log, "error reading " + device.Path() + ", error 19 -No such device"), 1);
  Press(KEY_F10);
  EXPECT_TRUE(Logged("launched ssh"));
}

TEST_F(KeyboardThreadTest, WaitingThreadEndsWhenTheRunFlagDrops) {
  Start();  // no keyboard: it searches
  ASSERT_TRUE(Logged("Keyboard function entered"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  works->core.running = 0;
  EXPECT_TRUE(WaitUntil([&] { return bool(ended); }));
  EXPECT_FALSE(log.SysHas("Keyboard opened"));
}
