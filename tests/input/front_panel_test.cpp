// The front-panel thread's passes against the simulated register block and
// controller, on a clock the test moves: set-up, the byte link, the outputs.
#include "input/front_panel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/log.h"
#include "core/works.h"
#include "input/panel_link.h"
#include "input/panel_mailbox.h"
#include "sim/panel/gpio_model.h"
#include "tests/support/sandbox.h"
#include "tests/support/test_clock.h"

namespace {
constexpr uint32_t KEY_LINES = 0x0FC00000;

class FrontPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = InstallDrivenClock(0);
    UseSimulatedGpio(&model);
    model.WithController([](PanelController &c) { c.SetNow([] { return DrivenMicros() / 1e6; }); });
    works->core.running = 1;
    works->input.panelThreadRunning = 1;
    ASSERT_TRUE(GpioSetUp(works.works, ctx));
  }
  void TearDown() override {
    UseSimulatedGpio(nullptr);
    SetClockSource(previous);
  }

  void Passes(double seconds) {
    for (int64_t end = DrivenMicros() + int64_t(seconds * 1e6); DrivenMicros() < end;)
      GpioPass(works.works, ctx);
  }
  std::vector<PanelCommand> Received() {
    std::vector<PanelCommand> commands;
    model.WithController([&](PanelController &c) { commands = c.Commands(); });
    return commands;
  }
  std::vector<int> Bytes() {
    std::vector<int> bytes;
    for (const PanelCommand &c : Received()) bytes.push_back(c.byte);
    return bytes;
  }

  ClockSource previous;
  TestWorks works;
  LogCapture log;
  GpioModel model;
  GpioContext ctx;
};
}  // namespace

TEST_F(FrontPanelTest, SetUpTakesOnlyItsOwnLinesAndPullsTheKeysUp) {
  Passes(0.1);
  GpioView view = model.View();
  EXPECT_TRUE(view.functionsPreserved);  // the amplifier's UART lines among them
  EXPECT_EQ(view.foreignLines, 0u);
  EXPECT_EQ(view.unitPullUps, KEY_LINES);
  EXPECT_EQ(view.levels & KEY_LINES, KEY_LINES);  // every key released
  EXPECT_TRUE(view.level[0]);                     // line 13
  EXPECT_TRUE(view.level[1]);                     // line 16
  EXPECT_TRUE(log.SysHas("GPIO loop start\n"));

  works->input.ctrlFlags = CTRL_FW_UPDATE_REQUEST;
  Passes(0.01);
  EXPECT_FALSE(model.View().level[0]);
  works->input.ctrlFlags = 0;
  Passes(0.01);
  EXPECT_TRUE(model.View().level[0]);
  EXPECT_EQ(model.View().changes[1], 1);  // line 16 went high once and stayed
}

TEST_F(FrontPanelTest, ReplyKeepsTheLastEightOfTwelveBits) {
  model.WithController([](PanelController &c) {
    c.SetFiller(0xA);
    c.SetRawReply(1, 0xBC);
    c.SetRawReply(2, 0x00);
    c.SetRawReply(3, 0xFF);
  });
  for (uint8_t cmd : {0xB0, 0x00, 0xFF, 0x5A, 0xA5}) {
    uint8_t reply = ExchangePanelByte(ctx.lines, cmd);
    EXPECT_EQ(reply, cmd == 0xFF   ? 0xFF
                     : cmd == 0x5A ? 0x00
                     : cmd == 0xA5 ? 0xBC
                                   : 0x15)
        << int(cmd);
  }
  EXPECT_EQ(Bytes(), (std::vector<int>{0xB0, 0x00, 0xFF, 0x5A, 0xA5}));
  // An absent controller leaves the pulled-up data line alone.
  model.WithController([](PanelController &c) { c.SetAbsent(true); });
  EXPECT_EQ(ExchangePanelByte(ctx.lines, 0xD1), 0xFF);
  model.WithController([](PanelController &c) { EXPECT_EQ(c.FramingErrors(), 0); });
}

TEST_F(FrontPanelTest, LinkRotatesQueriesWithAnEmptySlotAndFitsPostedCommandsIn) {
  model.WithController([](PanelController &c) { c.SetSupply(3, 13.8); });
  Passes(1.0);
  works->input.panelCmd = 0xC5;
  Passes(3.5);
  std::vector<PanelCommand> got = Received();
  std::vector<int> bytes = Bytes();
  std::vector<int> expected = {0xB0, 0xD1, 0xD2, 0xD3, 0xC5, 0xD0, 0xD1, 0xD2, 0xD3, 0xD0};
  ASSERT_GE(bytes.size(), expected.size());
  bytes.resize(expected.size());
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(works->input.panelReply[3], 163);  // 13.8 V through the 60 W divider
  EXPECT_TRUE(log.ErrHas("CMD TINY c5\n"));
  // One exchange per slot of about 0.4 s; the empty slot doubles the gap.
  for (size_t i = 2; i < expected.size(); i++) {
    double gap = got[i].t - got[i - 1].t;
    double slot = expected[i] == 0xD1 ? 0.8 : 0.4;
    EXPECT_NEAR(gap, slot, 0.02) << i;
  }
}

TEST_F(FrontPanelTest, PostsFromThePanelThreadQueueBehindTheMailboxInsteadOfWaiting) {
  Passes(0.1);  // 0xB0 and 0xD1 are out
  works->input.panelCmd = 0xA5;
  {
    PanelThreadScope self;  // as a key's menu action would post
    PostPanelCmd(works.works, 0x85);
    PostPanelCmd(works.works, 0x95);
  }
  Passes(2.0);
  std::vector<int> bytes = Bytes();
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(std::vector<int>(bytes.begin(), bytes.begin() + 6),
            (std::vector<int>{0xB0, 0xD1, 0xA5, 0x85, 0x95, 0xD2}));
}

TEST_F(FrontPanelTest, RegistersThatCannotBeMappedEndTheUnitWithStatus255) {
  UseSimulatedGpio(nullptr);
  TestSandbox box;
  std::filesystem::create_directories(box.Root() + "/proc/device-tree");
  std::ofstream(box.P().boardCompatible)
      << std::string("raspberrypi,3-model-b\0brcm,bcm2837\0", 35);
  std::filesystem::create_directories(box.Root() + "/dev");
  ASSERT_EQ(mkfifo(box.P().physMem.c_str(), 0600), 0);  // opens, but cannot be mapped
  works->core.running = 1;
  GPIO(works.works);
  EXPECT_EQ(works->core.running, 0);
  EXPECT_EQ(works->core.exitStatus, 255);
  EXPECT_TRUE(log.SysHas("mmap error 19\n", LOG_PRIO_ERR));
  EXPECT_TRUE(log.SysHas("GPIO operations end\n"));
  EXPECT_EQ(works->input.panelThreadRunning, 0);

  // On any other machine the address is not even tried.
  std::ofstream(box.P().boardCompatible) << "some,pc";
  works->core.running = 1;
  GPIO(works.works);
  EXPECT_EQ(works->core.exitStatus, 8);
  EXPECT_FALSE(log.SysHas("can't open /dev/mem"));
}
