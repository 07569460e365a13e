#include <gtest/gtest.h>

#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/support/sandbox.h"

// The defaults other subsystems rely on before any file is read.
TEST(InitGlobalVar, SetsTheDocumentedDefaults) {
  TestWorks works;
  EXPECT_EQ(works->core.running, 1);
  EXPECT_EQ(works->core.timerPeriod, 40000);
  EXPECT_EQ(works->core.lastFreq, 14070000u);
  EXPECT_EQ(works->core.forceFreq, -1);
  EXPECT_EQ(works->link.currentFreq, 14070000u);
  EXPECT_EQ(works->link.ampBypass, 1);
  EXPECT_EQ(works->link.ampConfig[0], 255);
  EXPECT_EQ(works->link.ampConfig[1], 255);
  EXPECT_EQ(works->errors.errMask, 1);
  EXPECT_EQ(works->cfg.sogliaTS[0], 4095);
  EXPECT_EQ(works->cfg.sogliaTS[2], 1500);
  EXPECT_EQ(works->cfg.sogliaTS[3], 3700);
  EXPECT_EQ(works->cfg.idxSogliaTS, -1);
  EXPECT_EQ(works->tuner.modeWorkIdx, -1);
  EXPECT_EQ(works->thermal.fanCurveLast, -1);
  EXPECT_EQ(works->input.panelLastCmd, 0xB0);
  EXPECT_EQ(works->remote.wsSocket, -1);
  EXPECT_EQ(works->remote.sampleRate, 48000);
  EXPECT_EQ(works->trx.spectrumSpan, 160000);
  EXPECT_EQ(works->ui.mainWindow, 1);
  EXPECT_STREQ(works->remote.password, "lumarondesta");
  EXPECT_DOUBLE_EQ(TIME_LONG_PRESS, 0.5);
  EXPECT_EQ(TimerPeakSec, 3000);
  EXPECT_EQ(works->cfg.setup->extIoRun, '1');
  EXPECT_EQ(works->cfg.setup->catSerialRun, '1');
  EXPECT_EQ(works->cfg.setup->AutoTuneTipo, '0');
}
