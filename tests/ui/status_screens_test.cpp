// The status area, the error tiles and the information page.
#include <gtest/gtest.h>

#include <cstring>

#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/ui/screen_support.h"
#include "transceiver/tavo_params.h"
#include "ui/conversions.h"
#include "ui/error_tiles.h"
#include "ui/info_page.h"
#include "ui/status_area.h"

namespace {
struct StatusScreen : ScreenTest {
  void SetUp() override {
    ScreenTest::SetUp();
    works->tuner.modeWorkIdx = 1;
    works->ui.mainWindow = 1;
    works->errors.errMask = 0;
    works->link.currentFreq = 14200000;
    std::lock_guard<std::mutex> lock(works->tuner.antennaMutex);
    AntennaRow rows[] = {{"20m", 14000000, 14350000, 1, 1, 0, 0, 0},
                         {"20mDX", 14150000, 14350000, 1, 1, 0, 0, 0}};
    memcpy(works->tuner.tabAntenna, rows, sizeof rows);
    works->tuner.nRowAntenna = 2;
  }
  std::vector<ScreenText> Status() {
    return Shown([&] { DrawParameters(works.works); });
  }
  std::vector<ScreenText> Info() {
    TavoParamsRecord params{};
    params.word[tavo::freqMem] = 7;
    return Shown([&] { ViewStatusInfo(works.works, params); });
  }
};

time_t wallNow = 0;
time_t FakeWall() { return wallNow; }
}  // namespace

TEST_F(StatusScreen, BoxesShowInterfaceBandAttenuatorAntennaTunerAndMode) {
  works->link.attDisplay = 2;
  works->tuner.antennaIdx = 1;
  auto texts = Status();
  EXPECT_EQ(TextAt(texts, 275, 298), "Band:20mDX");  // the last row holding the frequency
  EXPECT_EQ(TextAt(texts, 415, 298), "Att 3dB");
  EXPECT_EQ(TextAt(texts, 535, 298), "Ant 2");
  EXPECT_EQ(Pixel(200, 307), (Rgb{100, 100, 100}));

  works->link.statusA = 1;
  works->link.attDisplay = 4;
  works->link.atuBypass = 1;
  works->link.currentFreq = 27000000;  // no band is searched there
  works->core.remoteActive = 1;
  works->remote.remoteFault = 1;
  works->tuner.modeWorkIdx = -1;  // no interface chosen yet
  texts = Status();
  EXPECT_EQ(TextAt(texts, 10, 298), "");
  EXPECT_EQ(TextAt(texts, 125, 298), "Coax:RX+TX");
  EXPECT_EQ(TextAt(texts, 275, 298), "NOPA");
  EXPECT_EQ(TextAt(texts, 415, 298), "Att StBy");
  EXPECT_EQ(TextAt(texts, 615, 298), "Atu: Bpy");
  const ScreenText *remote = Find(texts, "Remote");
  ASSERT_NE(remote, nullptr);
  EXPECT_EQ((Rgb{remote->red, remote->green, remote->blue}), (Rgb{250, 0, 0}));

  // Out-of-range values written by other threads draw nothing rather than
  // reading past the tables.
  works->link.attDisplay = 9;
  works->link.currentFreq = 50000000;
  texts = Status();
  EXPECT_EQ(TextAt(texts, 415, 298), "");
  EXPECT_EQ(TextAt(texts, 275, 298), "Band:---");
}

TEST_F(StatusScreen, SecondRowMessagesAndDebugLines) {
  works->link.temp1 = 25;
  works->link.temp2 = 30;
  works->thermal.cpuTemp1 = 50;
  works->link.currentRaw = 2048;
  works->input.panelReply[3] = 145;  // 13.8 V on the 60 W divider
  auto texts = Status();
  EXPECT_EQ(TextAt(texts, 10, 327), "PA1:25.0°C   P2:30.0°C    CPU:50.0°C");
  EXPECT_EQ(TextAt(texts, 415, 327), "PA Voltage: 12.3V       Current: 07.0A");
  works->cfg.TempMode = 1;
  works->input.panelReply[3] = 250;  // above 20 V: not a 60 W unit's supply
  works->ui.uiMessage = 0x06;
  works->cfg.EnableDebug = 1;
  works->link.rawFwd = 1234;
  works->link.swr = 1.5f;
  texts = Status();
  EXPECT_EQ(TextAt(texts, 10, 327), "PA1:77.0°F   P2:86.0°F    CPU:122.0°F");
  EXPECT_EQ(TextAt(texts, 415, 327), "PA Voltage: -----       Current: 07.0A");
  EXPECT_EQ(TextAt(texts, 5, 350), "ATU ByPass not saved!");  // the first that applies
  EXPECT_EQ(TextAt(texts, 5, 275), "PW 0000 FWD 1234 REFL 0000 SWR 1.50 (0)");
  EXPECT_EQ(TextAt(texts, 500, 275), "freq 14200000 L0,C0,ByP");

  // The firmware-update notice replaces the whole area; a port failure
  // leaves it to its own message.
  works->input.ctrlFlags = CTRL_FW_UPDATE_MESSAGE;
  texts = Status();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(TextAt(texts, 10, 400),
            "FW UPDATE: please update firmware with FlashMagic and then reset hardware");
  works->core.linkErrState = 1;
  EXPECT_TRUE(Status().empty());
}

TEST_F(StatusScreen, TransmitBoxOnlyOnTheMeterWindows) {
  works->link.statusB = 1;
  auto texts = Shown([&] { ViewStatusTX(works.works); });
  EXPECT_EQ(TextAt(texts, 390, 200), "TX");
  EXPECT_EQ(Pixel(375, 175), (Rgb{250, 0, 0}));
  EXPECT_EQ(Pixel(429, 209), (Rgb{250, 0, 0}));
  EXPECT_NE(Pixel(430, 210), (Rgb{250, 0, 0}));
  works->ui.mainWindow = 4;
  EXPECT_TRUE(Shown([&] { ViewStatusTX(works.works); }).empty());
  works->ui.mainWindow = 1;
  works->link.statusB = 0;
  EXPECT_TRUE(Shown([&] { ViewStatusTX(works.works); }).empty());
}

TEST(ErrorTiles, NewestLeftOfTheOlderOnesAndOnlyTheSixNewest) {
  struct Case {
    int count;
    std::vector<std::vector<int>> tiles;  // x0, x1, position
  };
  const Case cases[] = {
      {0, {}},
      {1, {{665, 795, 0}}},
      {2, {{532, 662, 1}, {665, 795, 0}}},
      {3, {{399, 529, 2}, {532, 662, 1}, {665, 795, 0}}},
      {6, {{5, 130, 5}, {133, 263, 4}, {266, 396, 3}, {399, 529, 2}, {532, 662, 1}, {665, 795, 0}}},
      {7, {{5, 130, 6}, {133, 263, 5}, {266, 396, 4}, {399, 529, 3}, {532, 662, 2}, {665, 795, 1}}},
      {9, {{5, 130, 8}, {133, 263, 7}, {266, 396, 6}, {399, 529, 5}, {532, 662, 4}, {665, 795, 3}}},
  };
  for (const Case &c : cases) {
    std::vector<std::vector<int>> got;
    for (const ErrorTile &t : ErrorTileLayout(c.count)) got.push_back({t.x0, t.x1, t.position});
    EXPECT_EQ(got, c.tiles) << c.count;
  }
}

TEST_F(StatusScreen, ErrorTilesRedForErrorsOrangeForWarnings) {
  AddErrore(works.works, ERR_COMM);    // a warning
  AddErrore(works.works, ERR_HI_SWR);  // an error
  auto texts = Shown([&] { DrawError(works.works); });
  EXPECT_EQ(Pixel(700, 400), (Rgb{250, 150, 0}));
  EXPECT_EQ(Pixel(600, 400), (Rgb{255, 30, 0}));
  EXPECT_EQ(Pixel(665, 380), (Rgb{255, 255, 255}));
  EXPECT_EQ(Pixel(795, 415), (Rgb{255, 255, 255}));
  EXPECT_EQ(TextAt(texts, 669, 390), "Comm");
  EXPECT_EQ(TextAt(texts, 669, 410), "warn ");
  EXPECT_EQ(TextAt(texts, 536, 390), "HI SWR");
  works->ui.uiFlags = 2;  // a table covers them
  EXPECT_TRUE(Shown([&] { DrawError(works.works); }).empty());
}

TEST_F(StatusScreen, InformationPageRows) {
  LinkState &l = works->link;
  snprintf(works->core.version, sizeof works->core.version, "00.063");
  {
    std::lock_guard<std::mutex> lock(l.textMutex);
    snprintf(l.firmwareVersion, sizeof l.firmwareVersion, "1.07.03");
    memcpy(l.configPage[0], "A6-0012345\0REV B", 16);
  }
  l.ampConfig[0] = '1';
  l.ampConfig[1] = '1';
  l.pwrFwd = 45;
  l.swr = 1.2f;
  l.measuredFreq = 7100000;
  works->input.panelReply[0] = 0x21;
  works->input.panelReply[1] = 48;
  works->ui.uiFlags = UI_INFO_PAGES;
  works->ui.uiState = UI_STATE_INFO;
  snprintf(works->ui.dateTime, sizeof works->ui.dateTime, "2026-12-08 10:00:00");
  WriteSetupFlag(works->cfg.setup->extIoRun, '0');
  AddErrore(works.works, ERR_TAVO_EXTIO);
  auto texts = Info();
  EXPECT_EQ(TextAt(texts, 180, 110), "SW ver. 00.063, FW ver. 1.07.03");
  EXPECT_EQ(TextAt(texts, 180, 132), "A6-0012345 (REV B), TYPE: USA, MAXPOWER: 120W");
  EXPECT_EQ(TextAt(texts, 180, 154), "FWD:45.0, RFL:0.0 , PW:0.0, SWR:1.2");
  EXPECT_EQ(TextAt(texts, 180, 176), "7100000Hz(7)");  // the amplifier's counter without the link
  EXPECT_EQ(TextAt(texts, 180, 330), "No EXT IO data");
  EXPECT_EQ(TextAt(texts, 180, 352), "ver. 21, V12: 12.0V, V15: 0.0V, Vamp: 0.0V");
  EXPECT_EQ(TextAt(texts, 5, 352), "AMPL");
  EXPECT_EQ(TextAt(texts, 300, 400), "2026-12-08 10:00:00");

  l.ampConfig[1] = '7';                           // not a known class: an empty field
  memset(l.configPage[0], 'S', CONFIG_PAGE_LEN);  // a serial that fills the page
  works->cfg.TempMode = 1;
  works->cfg.MaxTemperature = 60;
  WriteSetupFlag(works->cfg.setup->extIoRun, '1');
  l.currentFreq = 14074000;
  DeleteErrore(works.works, ERR_TAVO_EXTIO);
  texts = Info();
  EXPECT_EQ(TextAt(texts, 180, 132),
            std::string(CONFIG_PAGE_LEN, 'S') + " (), TYPE: USA, MAXPOWER: ");
  EXPECT_EQ(TextAt(texts, 180, 176), "14074000Hz(7)");
  EXPECT_EQ(TextAt(texts, 180, 242), "Set Point Alarm 140.0°F, FAN: 0%");
  EXPECT_EQ(TextAt(texts, 180, 330), "EXT IO connected");
  works->ui.uiFlags = 0;
  EXPECT_TRUE(Info().empty());
}

TEST(ClockText, ChangesOncePerSecondHoweverOftenRead) {
  TestWorks works;
  ClockSource previous = SetClockSource(
      {realClock.processMicros, realClock.monotonicMicros, FakeWall, realClock.sleepMicros});
  wallNow = 1765188000;
  ReadDataOra(works.works);
  std::string first = works->ui.dateTime;
  EXPECT_EQ(first.size(), 19u);
  strcpy(works->ui.dateTime, "unchanged");
  for (int i = 0; i < 50; i++) ReadDataOra(works.works);
  EXPECT_STREQ(works->ui.dateTime, "unchanged");
  wallNow++;
  ReadDataOra(works.works);
  EXPECT_EQ(std::string(works->ui.dateTime).substr(0, 17), first.substr(0, 17));
  EXPECT_NE(works->ui.dateTime, first);
  SetClockSource(previous);
}
