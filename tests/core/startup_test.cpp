#include "core/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "display/png_write.h"
#include "input/front_panel.h"
#include "platform/display_device.h"
#include "settings/setup_record.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_clock.h"
#include "tests/support/wait.h"

namespace {
std::mutex startedMutex;
std::set<std::string> started;
Works *current = nullptr;

void Record(const char *name) {
  std::lock_guard<std::mutex> lock(startedMutex);
  started.insert(name);
}

// A thread that stays until the run flag drops, as every real one must.
template <const char *Name>
void Body(Works *works) {
  Record(Name);
  while (works->core.running) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The front panel empties its mailbox and keeps what it got.
std::vector<int> panelReceived;
constexpr char kGPIO[] = "GPIO";
void FakePanel(Works *works) {
  Record(kGPIO);
  while (works->core.running) {
    if (uint8_t cmd = works->input.panelCmd) {
      panelReceived.push_back(cmd);
      works->input.panelCmd = 0;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

constexpr char kLinear[] = "Linear", kLoad[] = "LoadThread", kLan[] = "LANInfoThread",
               kAgg[] = "AggFWThread", kKeyb[] = "keyb", kWs[] = "Wsocket", kWc[] = "Wclient",
               kSer[] = "Serial", kScr[] = "th_scrivi", kLeg[] = "th_leggi", kCat[] = "Cat",
               kFft[] = "TAVORead", kCatSer[] = "CatSerial", kTimer[] = "timer";

void RecordOnce(const char *name, Works *) { Record(name); }

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    started.clear();
    panelReceived.clear();
    UseMemoryDisplay();
    // Start-up pauses run a hundred times faster; the sequence is unchanged.
    previousClock = InstallFastClock(100);
    threadBodies = {FakePanel,
                    Body<kLinear>,
                    [](Works *w) {
                      RecordOnce(kLoad, w);
                      LoadThread(w);
                    },
                    [](Works *w) { RecordOnce(kLan, w); },
                    [](Works *w) { RecordOnce(kAgg, w); },
                    Body<kKeyb>,
                    Body<kWs>,
                    Body<kWc>,
                    Body<kSer>,
                    Body<kScr>,
                    Body<kLeg>,
                    Body<kCat>,
                    Body<kFft>,
                    Body<kCatSer>,
                    Body<kTimer>};
  }
  void TearDown() override {
    threadBodies = productThreadBodies;
    SetClockSource(previousClock);
    UseDeviceDisplay();
  }

  // Runs the whole life of the program; the run flag drops once the
  // start-up is over (about 15 s of compressed time), the countdown has
  // ended and the front panel has taken what was posted to it, however long
  // a busy host took for it.
  void RunUnit(const std::string &setup) {
    if (!setup.empty()) box.Write(box.P().setupFile, setup);
    KestraHooks hooks;
    hooks.started = [&](Works *works) { current = works; };
    hooks.up = [&](Works *works) {
      EXPECT_TRUE(
          WaitUntil([&] { return works->core.initDone == 1 && works->input.panelCmd == 0; }, 30));
      works->core.running = 0;
    };
    hooks.stopped = [&](Works *works) {
      remoteFlags = std::string{works->cfg.setup->EnableWrite, works->cfg.setup->EnableRead,
                                works->cfg.setup->EnableCAT, works->cfg.setup->EnableFFT};
      initDone = works->core.initDone;
      std::string error;
      EXPECT_TRUE(CaptureScreen(works, finalScreen, error)) << error;
    };
    EXPECT_EQ(KestraMain(hooks), 0);
  }

  std::set<std::string> Started() {
    std::lock_guard<std::mutex> lock(startedMutex);
    return started;
  }

  TestSandbox box;
  LogCapture log;
  ClockSource previousClock;
  std::string remoteFlags;
  int initDone = 0;
  PngPicture finalScreen;  // RGBA, as the display showed it at the end
};
}  // namespace

// A fresh unit's memory bank uses the companion transceiver, so the bank
// load at start-up leaves the FT-817 poller off.
TEST_F(StartupTest, DefaultFlagsStartTheDocumentedThreads) {
  RunUnit("");
  std::set<std::string> expected = {"GPIO", "Linear",  "LoadThread", "LANInfoThread", "AggFWThread",
                                    "keyb", "Wsocket", "Serial",     "timer"};
  EXPECT_EQ(Started(), expected);
  EXPECT_TRUE(log.ErrHas(">>>>>>>>>> SOCKET SERVER start\n"));
  EXPECT_TRUE(log.ErrHas("TAVOread start\n"));
  EXPECT_TRUE(log.ErrHas("Closed!\n"));
  EXPECT_EQ(initDone, 1);
}

TEST_F(StartupTest, OneRemoteFlagStartsAllFourRemoteThreadsAndStoresTheirFlags) {
  RunUnit("EnableCAT: 1\nWebSocket: 2\nEnableKeyb: 0\nEnableTime: 0\n");
  auto s = Started();
  for (const char *name : {"th_scrivi", "th_leggi", "Cat", "TAVORead", "Wclient"})
    EXPECT_TRUE(s.count(name)) << name;
  EXPECT_FALSE(s.count("Wsocket"));
  EXPECT_FALSE(s.count("keyb"));
  EXPECT_FALSE(s.count("timer"));
  EXPECT_EQ(remoteFlags, "1111");
  std::string file = box.Read(box.P().setupFile);
  for (const char *key : {"EnableRead: 1", "EnableWrite: 1", "EnableCAT: 1", "EnableFFT: 1"})
    EXPECT_NE(file.find(key), std::string::npos) << key;
  EXPECT_TRUE(log.ErrHas(">>>>>>>>>>>>>>>>>>>>>>>>> REMOTE STOP \n"));
  EXPECT_TRUE(log.ErrHas(">>>>>>>>>> SOCKET CLIENT start\n"));
}

TEST_F(StartupTest, ShutdownJoinsInTheDocumentedOrder) {
  RunUnit("EnableRead: 1\n");
  std::vector<std::string> joins;
  for (const auto &line : log.Sys())
    if (line.text.rfind("Communicator joined", 0) == 0) joins.push_back(line.text);
  std::vector<std::string> expected = {
      "Communicator joined Key end",     "Communicator joined FFT end",
      "Communicator joined Touch end",   "Communicator joined Spi end",
      "Communicator joined Wsocket end", "Communicator joined Cat end",
      "Communicator joined Serial end",  "Communicator joined Linear end",
      "Communicator joined Time end",    "Communicator joined GPIO end"};
  EXPECT_EQ(joins, expected);
  EXPECT_TRUE(log.SysHas("Communicator operations end"));
}

TEST_F(StartupTest, AnFt817BankRunsThePollerInsteadOfTheExtIoLink) {
  box.Write(box.P().setDir + "/antenna_b1.txt", "!817\n");
  RunUnit("EnableCAT: 1\n");
  auto s = Started();
  EXPECT_TRUE(s.count("CatSerial"));
  EXPECT_FALSE(s.count("Serial"));
  std::vector<std::string> joins;
  for (const auto &line : log.Sys())
    if (line.text.rfind("Communicator joined", 0) == 0) joins.push_back(line.text);
  auto at = [&](const char *text) { return std::find(joins.begin(), joins.end(), text); };
  EXPECT_LT(at("Communicator joined Cat end"), at("Communicator joined CatSerial end"));
  EXPECT_LT(at("Communicator joined CatSerial end"), at("Communicator joined Linear end"));
  EXPECT_NE(at("Communicator joined Linear end"), joins.end());
}

TEST_F(StartupTest, NoThreadWithItsFlagOffIsStartedOrJoined) {
  RunUnit("EnableGPIO: 0\nEnableLinear: 0\nEnableKeyb: 0\nWebSocket: 0\nEnableTime: 0\n");
  std::set<std::string> expected = {"LoadThread", "LANInfoThread", "AggFWThread", "Serial"};
  EXPECT_EQ(Started(), expected);
  EXPECT_FALSE(log.SysHas("Communicator joined GPIO end"));
  EXPECT_FALSE(log.SysHas("Communicator joined Linear end"));
  // Without the front panel the mailbox posts are dropped instead of blocking.
  EXPECT_TRUE(log.SysHas("front panel not running: command 197 dropped"));
}

TEST_F(StartupTest, FrontPanelGetsTheStartAndCountdownCommandsInOrder) {
  RunUnit("");
  // 197 at start, 181 once the countdown reaches 4 and once after it. On the
  // fast clock a busy host may end the start-up pause before the countdown
  // thread got that far: then only the closing 181 comes.
  std::vector<int> got = panelReceived;
  ASSERT_GE(got.size(), 2u);
  EXPECT_LE(got.size(), 3u);
  EXPECT_EQ(got.front(), 0xC5);
  EXPECT_TRUE(std::all_of(got.begin() + 1, got.end(), [](int c) { return c == 0xB5; }));
  if (log.ErrHas("Time Loading ... 4..\n")) {
    EXPECT_EQ(got.size(), 3u);
  }
}

TEST(StartImage, HighPowerClassChoosesStart120) {
  TestWorks works;
  EXPECT_STREQ(StartImageName(works.works), "start");  // no "EE2" reply yet (255)
  works->link.ampConfig[1] = '1';
  EXPECT_STREQ(StartImageName(works.works), "start120");
  works->link.ampConfig[1] = '0';
  EXPECT_STREQ(StartImageName(works.works), "start");
}

namespace {
// Virtual time for the countdown: the main thread's 11 s pause ends after the
// countdown thread's 11th step, while it sleeps before a 12th, which must then
// draw nothing over the screen that start-up has moved on to.
int64_t virtualMicros = 0;
void VirtualSleep(int64_t micros) {
  virtualMicros += micros;
  if (virtualMicros > 11000000) startInitThread = 0;
}
int64_t VirtualMonotonic() { return virtualMicros; }
}  // namespace

TEST(Countdown, CountsFromTenDownToZeroInATwoCharacterField) {
  TestWorks works;
  LogCapture log;
  ClockSource previous = SetClockSource(
      {realClock.processMicros, VirtualMonotonic, realClock.wallSeconds, VirtualSleep});
  virtualMicros = 0;
  waitTAVO = 10;
  startInitThread = 1;
  LoadThread(works.works);
  SetClockSource(previous);
  std::vector<std::string> expected;
  for (int n = 10; n >= 0; n--) {
    char line[40];
    snprintf(line, sizeof line, "Time Loading ...%2d..\n", n);
    expected.push_back(line);
  }
  EXPECT_EQ(log.Err(), expected);
  EXPECT_EQ(works->core.initDone, 1);
}

TEST_F(StartupTest, ShowsTheStartImageTheCountdownAndTheClosingMessage) {
  RunUnit("");
  EXPECT_FALSE(log.SysHas("image could not be opened"));
  EXPECT_FALSE(log.SysHas("FreeType: file error"));
  // Which numbers show depends on how late each step wakes on the fast
  // clock (the count itself is checked on a virtual clock above).
  EXPECT_TRUE(log.ErrHas("Time Loading ..."));
  // "Error! Close Program! Restart hw." in white from x 330 on row 400.
  ASSERT_EQ(finalScreen.width, 800);
  auto white = [&](int x, int y) {
    const uint8_t *p = &finalScreen.pixels[(size_t(y) * 800 + x) * 4];
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
  };
  int lit = 0;
  for (int y = 380; y <= 400; y++)
    for (int x = 330; x < 800; x++) lit += white(x, y);
  EXPECT_GT(lit, 300);
  for (int y = 380; y <= 400; y++) EXPECT_FALSE(white(329, y) || white(200, y)) << y;
}

TEST_F(StartupTest, FrontPanelWithoutItsRegistersEndsTheUnitInOrderWithStatus8) {
  threadBodies.GPIO = GPIO;  // the real thread; the sandbox has no /dev/mem
  std::filesystem::create_directories(box.Root() + "/proc/device-tree");
  box.Write(box.P().boardCompatible, std::string("brcm,bcm2836\0", 13));
  // How far the start-up got before the run flag dropped depends on the
  // machine; the unit ends in order with the status either way.
  EXPECT_EQ(KestraMain(), 8);
  EXPECT_TRUE(log.SysHas("can't open /dev/mem", LOG_PRIO_ERR));
  EXPECT_TRUE(log.SysHas("Communicator joined GPIO end"));
  EXPECT_TRUE(log.ErrHas("Closed!\n"));
}
