// ModifyParameter row by row, grouped by the kind of row: stepped numbers,
// lists, toggles, addresses, actions; with what reaches setup.txt.
#include "ui/menu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/works.h"
#include "input/panel_mailbox.h"
#include "menu/menu_table.h"
#include "network/lan_settings.h"
#include "settings/setup_record.h"
#include "sim/world/factory_files.h"
#include "tests/support/sandbox.h"
#include "tests/tuner/tuner_harness.h"
#include "tuner/bank_files.h"
#include "tuner/banks.h"

namespace {
constexpr int MAX_BANKS = 0, FILTERS = 1, MODE = 2, LONG_PRESS = 3, SCREENSAVER = 4, RELEASE = 6,
              ATTENUATOR = 8, TARGET_SWR = 9, TIMEOUT = 10, ATU = 11, REF_LEVEL = 14,
              POINT_DIV = 16, OFFSET = 17, IP_ROW = 18, GATEWAY_ROW = 20, ALARM1 = 22, PERIOD = 24,
              FACTORY = 25, SW_UPDATE = 27, FW_UPDATE = 28, TURN_OFF = 29;

class Menu : public ::testing::Test {
 protected:
  void SetUp() override {
    works->core.running = 1;
    works->core.pauseSecondMs = 1;
    works->core.lanInfoBusy = 1;
    CntIP = CntNetMask = CntGateway = CntDNS = 3;  // as at start-up
    readSetup(works.works);
    works->errors.errMask = 0;
    LoadAllBankTable(works.works, works->cfg.NumBanco);
    InitMenuKora(works.works);
    link.Drain();
  }
  // Presses on row `row`, the value text after each.
  std::vector<std::string> Press(int row, int action, int times) {
    works->ui.menuIndex = row;
    std::vector<std::string> shown;
    for (int i = 0; i < times; i++) {
      ModifyParameter(works.works, action);
      shown.push_back(Value(row));
    }
    return shown;
  }
  std::string Value(int row) {
    char text[MENU_VALUE_SIZE];
    LoadParameterMenu(works.works, text, sizeof text, row, 0);
    return text;
  }
  std::string Setup() const { return box.Read(box.P().setupFile); }
  bool SetupHas(const std::string &line) const {
    return Setup().find(line + "\n") != std::string::npos;
  }

  StubTransceiverThreads threads;
  TestSandbox box;
  TestWorks works;
  LinkStandIn link{works.works};
  LogCapture log;
};

using Texts = std::vector<std::string>;

TEST_F(Menu, TheTableHasThirtyRowsAndBrowsingWraps) {
  EXPECT_EQ(works->ui.menuCount, MENU_ROWS);
  EXPECT_EQ(menuPar[0].id, 1u);
  EXPECT_STREQ(menuPar[29].heading, "SERVICE");
  EXPECT_STREQ(menuPar[29].items[0].name, "Turn Off Hardware");
  works->ui.menuIndex = 29;
  MenuNext(works.works);
  EXPECT_EQ(works->ui.menuIndex, 0);
  MenuPrevious(works.works);
  EXPECT_EQ(works->ui.menuIndex, 29);
  works->ui.menuIndex = IP_ROW;
  EXPECT_TRUE(MenuItemMultiField(works.works));
  works->ui.menuIndex = MAX_BANKS;
  EXPECT_FALSE(MenuItemMultiField(works.works));
  EXPECT_FALSE(MenuItemReadOnly(works.works));
}

TEST_F(Menu, SteppedNumbersStopOrWrapAtTheirLimits) {
  works->cfg.MAXbank = 20;
  EXPECT_EQ(Press(MAX_BANKS, MENU_PLUS, 1), Texts{"2"});
  EXPECT_EQ(Press(MAX_BANKS, MENU_MINUS, 1), Texts{"20"});
  TIME_LONG_PRESS = 4.9;
  EXPECT_EQ(Press(LONG_PRESS, MENU_PLUS, 2), (Texts{"5.0sec", "5.0sec"}));
  TIME_LONG_PRESS = 0.4;
  EXPECT_EQ(Press(LONG_PRESS, MENU_MINUS, 2), (Texts{"0.3sec", "0.3sec"}));
  TimerPeakSec = 4990;
  EXPECT_EQ(Press(RELEASE, MENU_PLUS, 2), (Texts{"5000ms", "5000ms"}));
  works->cfg.RefLevelPlot = 90;
  EXPECT_EQ(Press(REF_LEVEL, MENU_PLUS, 3), (Texts{"100dBm", "100dBm", "100dBm"}));
  works->cfg.PointDivPlot = 1;
  EXPECT_EQ(Press(POINT_DIV, MENU_PLUS, 5), (Texts{"2", "5", "10", "20", "20"}));
  EXPECT_EQ(Press(POINT_DIV, MENU_MINUS, 5), (Texts{"10", "5", "2", "1", "1"}));
  works->cfg.FreqPeriodTime = 20;
  EXPECT_EQ(Press(PERIOD, MENU_MINUS, 2), (Texts{"10ms", "10ms"}));
}

// Decimal values step in whole hundredths or tenths: no drift.
TEST_F(Menu, DecimalStepsDoNotDriftAndTheTargetSwrTurnsOffBelowOne) {
  works->cfg.SWRescAutoTune = 1.0f;
  EXPECT_EQ(Press(TARGET_SWR, MENU_MINUS, 1), Texts{"0.00"});
  EXPECT_EQ(Press(TARGET_SWR, MENU_PLUS, 1), Texts{"1.00"});
  Press(TARGET_SWR, MENU_PLUS, 100);
  EXPECT_EQ(works->cfg.SWRescAutoTune, 2.0f);
  works->cfg.OffsetPlot = 0;
  Press(OFFSET, MENU_PLUS, 1000);
  EXPECT_EQ(works->cfg.OffsetPlot, 100.0);
  Press(OFFSET, MENU_MINUS, 3000);
  EXPECT_EQ(Value(OFFSET), "-200.00dBm");
}

TEST_F(Menu, ListsMoveAsEachRowSays) {
  works->cfg.SaveScreenIdx = 3;
  EXPECT_EQ(Press(SCREENSAVER, MENU_PLUS, 2), (Texts{"60min", "5min"}));
  EXPECT_EQ(Press(SCREENSAVER, MENU_MINUS, 1), Texts{"5min"});
  EXPECT_EQ(Press(ATTENUATOR, MENU_PLUS, 4), (Texts{"2dB", "3dB", "5dB", "0dB"}));
  works->cfg.AutoTuneMaxCicli = 1;
  EXPECT_EQ(Press(TIMEOUT, MENU_PLUS, 2), (Texts{"25sec", "25sec"}));
  works->cfg.AutoTuneMaxCicli = 4;
  EXPECT_EQ(Press(TIMEOUT, MENU_MINUS, 1), Texts{"25sec"});
}

TEST_F(Menu, TogglesFlipOnEveryKeyButEnter) {
  works->cfg.TUNEenabled = 0x03;
  EXPECT_EQ(Press(ATU, MENU_PLUS, 1), Texts{"No"});
  EXPECT_EQ(Press(ATU, MENU_NEXT_FIELD, 1), Texts{"Yes"});
  EXPECT_EQ(works->cfg.TUNEenabled, 0x03);
  EXPECT_TRUE(log.ErrHas("----------> SAVE ATU: 0x83\n"));
  EXPECT_EQ(Press(ATU, MENU_ENTER, 1), Texts{"Yes"});
}

// Plus and minus act at once; the file follows on ENTER (or "<" ">" on the
// rows that save with them); the alarms only on ENTER.
TEST_F(Menu, SavingFollowsEachRowsRule) {
  std::string before = Setup();
  works->cfg.RefLevelPlot = 0;
  Press(REF_LEVEL, MENU_PLUS, 1);
  EXPECT_EQ(Setup(), before);
  Press(REF_LEVEL, MENU_PREVIOUS_FIELD, 1);
  EXPECT_TRUE(SetupHas("RefLevelPlot: 10"));
  Press(ALARM1, MENU_MINUS, 2);
  Press(ALARM1, MENU_NEXT_FIELD, 1);
  EXPECT_TRUE(SetupHas("MaxTemperature: 600"));
  Press(ALARM1, MENU_ENTER, 1);
  EXPECT_TRUE(SetupHas("MaxTemperature: 598"));
  Press(PERIOD, MENU_PLUS, 1);
  EXPECT_TRUE(link.Drain().empty());
  Press(PERIOD, MENU_ENTER, 1);
  EXPECT_EQ(link.Drain(), std::vector<int32_t>{CMD_FS});
  EXPECT_TRUE(SetupHas("FreqPeriodTime: 20"));
}

TEST_F(Menu, RepeatRequestsPerRowAndKey) {
  struct Case {
    int row, action, repeat;
  } cases[] = {
      {RELEASE, MENU_PLUS, 1},      {TARGET_SWR, MENU_ENTER, 1},  {REF_LEVEL, MENU_MINUS, 1},
      {POINT_DIV, MENU_PLUS, 1},    {OFFSET, MENU_PLUS, 1},       {IP_ROW, MENU_PLUS, 1},
      {IP_ROW, MENU_NEXT_FIELD, 1}, {ALARM1, MENU_PLUS, 1},       {ALARM1, MENU_ENTER, 0},
      {PERIOD, MENU_MINUS, 1},      {PERIOD, MENU_NEXT_FIELD, 0}, {MAX_BANKS, MENU_PLUS, 0},
      {LONG_PRESS, MENU_PLUS, 0},   {ATU, MENU_PLUS, 0}};
  for (const Case &c : cases) {
    works->ui.menuIndex = c.row;
    EXPECT_EQ(ModifyParameter(works.works, c.action), c.repeat)
        << "row " << c.row << " action " << c.action;
  }
}

TEST_F(Menu, AddressesEditTheirOctetAndEnterSavesTheNetwork) {
  box.Write(box.P().networkInterfaces, FACTORY_INTERFACES_STATIC);
  ASSERT_EQ(ReadLanParam(), 0);
  EXPECT_EQ(Value(IP_ROW), "192.168.1.10");
  LanView view;
  ASSERT_TRUE(LoadLanView(IP_ROW, view));
  EXPECT_EQ(view.edited, 3);
  Press(IP_ROW, MENU_NEXT_FIELD, 1);
  EXPECT_EQ(Press(IP_ROW, MENU_MINUS, 1), Texts{"191.168.1.10"});
  Press(IP_ROW, MENU_ENTER, 1);
  std::string file = box.Read(box.P().networkInterfaces);
  EXPECT_NE(file.find("address 191.168.1.10\n"), std::string::npos);
  EXPECT_EQ(box.Read(box.Root() + "/var/sim/network"),
            "ifdown --exclude=lo -a\nifup --exclude=lo -a\n");
  // An edited gateway is written even where the file had no value.
  Gateway_none = 1;
  Press(GATEWAY_ROW, MENU_PLUS, 1);
  EXPECT_EQ(Gateway_none, 0);
}

TEST_F(Menu, RemoteChecksNameWhatIsMissingAndLeaveTheModeLocal) {
  works->core.remoteActive = 0;
  WriteSetupFlag(works->cfg.setup->extIoRun, '0');
  EXPECT_EQ(Press(MODE, MENU_PLUS, 1), Texts{"Local"});
  EXPECT_TRUE(log.ErrHas("Remote ERROR!\n"));
  EXPECT_TRUE(ExistError(works.works, ERR_REMOTE_USB));
  EXPECT_TRUE(ExistError(works.works, ERR_AUDIO_NOT_FOUND));
  EXPECT_TRUE(ExistError(works.works, ERR_TAVO_MODE));
  EXPECT_EQ(works->remote.remoteFault, 1);
  EXPECT_TRUE(works->ui.uiMessage & UI_MSG_REMOTE_NOT_STARTED);
  // Running remote threads need no check; Remote goes back to Local on any key.
  WriteSetupFlag(works->cfg.setup->EnableFFT, '1');
  EXPECT_EQ(Press(MODE, MENU_NEXT_FIELD, 1), Texts{"Remote"});
  EXPECT_EQ(Press(MODE, MENU_MINUS, 1), Texts{"Local"});
}

TEST_F(Menu, ServiceRowsActOnlyWhileOn) {
  works->input.ctrlFlags = CTRL_FW_UPDATE_MESSAGE;
  Press(FW_UPDATE, MENU_ENTER, 1);
  EXPECT_EQ(works->input.ctrlFlags, 0);
  EXPECT_TRUE(link.Drain().empty());
  Press(FW_UPDATE, MENU_PLUS, 1);
  Press(FW_UPDATE, MENU_ENTER, 1);
  EXPECT_EQ(link.Drain(), std::vector<int32_t>{CMD_MR1});
  EXPECT_TRUE(log.ErrHas("Start AGGFW\n"));

  works->core.softwareUpdate = 1;
  Press(SW_UPDATE, MENU_PLUS, 1);
  Press(SW_UPDATE, MENU_ENTER, 1);
  EXPECT_TRUE(works->ui.uiMessage & UI_MSG_UI_UPDATE);
  EXPECT_EQ(box.Read(box.Root() + "/var/sim/getpack"), "getpack\n");

  PanelThreadScope panel;  // as the keys reach it
  Press(TURN_OFF, MENU_ENTER, 1);
  EXPECT_EQ(works->input.ownPostCount, 0);
  Press(TURN_OFF, MENU_PLUS, 1);
  Press(TURN_OFF, MENU_ENTER, 1);
  ASSERT_EQ(works->input.ownPostCount, 1);
  EXPECT_EQ(works->input.ownPosts[0], 0x85);
}

TEST_F(Menu, FactoryResetRemovesBankFilesAndRestoresDefaultSetupOnly) {
  std::string defaults = Setup();
  works->cfg.MAXbank = 7;
  works->cfg.RefLevelPlot = -50;
  writeSetup(works.works);
  ASSERT_TRUE(SaveTabConfig(works.works, 4));
  std::string bankFile = AntennaTableFile(box.P().setDir, 4);
  ASSERT_TRUE(std::filesystem::exists(bankFile));
  works->link.retryTotal = 7;  // the link's own state is left alone

  Press(FACTORY, MENU_ENTER, 1);  // "No Default": nothing
  EXPECT_TRUE(std::filesystem::exists(bankFile));
  EXPECT_EQ(Press(FACTORY, MENU_PLUS, 1), Texts{"Set Default"});
  EXPECT_EQ(Press(FACTORY, MENU_ENTER, 1), Texts{"No Default"});
  EXPECT_FALSE(std::filesystem::exists(bankFile));
  EXPECT_EQ(Setup(), defaults);
  EXPECT_EQ(works->cfg.MAXbank, 3);
  EXPECT_EQ(works->cfg.RefLevelPlot, 0);
  EXPECT_EQ(works->link.retryTotal, 7);
  EXPECT_EQ(works->core.running, 1);
}

TEST_F(Menu, TableCellsStepWithinTheirRanges) {
  ASSERT_GT(AntennaRowCount(works.works), 0);
  works->ui.tableRow = 0;
  AntennaRow &r = works->tuner.tabAntenna[0];
  r.Att = 3;
  r.Ant = 1;
  r.Pwr = 0;
  int amp = r.AmpEnable, atu = r.Atu;
  struct Case {
    int column;
    bool minus;
  } steps[] = {{1, false}, {3, true}, {0, false}, {0, false}, {0, false}, {2, false}, {4, false}};
  for (const Case &c : steps) {
    works->ui.tableColumn = c.column;
    ModifytabAntenna(works.works, c.minus);
  }
  EXPECT_EQ(r.Att, 0);
  EXPECT_EQ(r.Ant, 3);
  EXPECT_FLOAT_EQ(r.Pwr, 0.3f);
  EXPECT_EQ(r.AmpEnable, amp ? 0 : 1);
  EXPECT_EQ(r.Atu, atu ? 0 : 1);
}
}  // namespace
