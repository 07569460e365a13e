#include "amplifier/errors.h"

#include <gtest/gtest.h>

#include <thread>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tests/support/sandbox.h"

namespace {
class ErrorList : public ::testing::Test {
 protected:
  void SetUp() override { works->errors.errMask = 0; }
  std::vector<int32_t> Queued() {
    std::vector<int32_t> cmds;
    for (int32_t c; TakeCmdLinear(works.works, c);) cmds.push_back(c);
    return cmds;
  }
  TestWorks works;
  LogCapture log;
};
}  // namespace

TEST_F(ErrorList, AddsOnceHonoursTheMaskAndNeverDeletesTheOpenError) {
  works->errors.errMask = 1;
  AddErrore(works.works, ERR_HI_SWR);
  EXPECT_EQ(ExistError(works.works, ERR_HI_SWR), 0);
  works->errors.errMask = 0;  // the amplifier answered "CP"
  AddErrore(works.works, ERR_HI_SWR);
  AddErrore(works.works, ERR_HI_SWR);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{1}));
  EXPECT_EQ(log.ErrCount("Add: N: 1 err:1\n"), 1);
  EXPECT_TRUE(log.ErrHas(" -->set protezione 0x1\n"));
  AddErrore(works.works, ERR_EXTIO_OPEN);
  DeleteErrore(works.works, ERR_EXTIO_OPEN);
  DeleteErrore(works.works, ERR_COMM);  // not listed: nothing changes
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{1, 25}));
  DeleteErrore(works.works, ERR_HI_SWR);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{25}));
  EXPECT_EQ(ExistAnError(works.works), 25);
  AddErrore(works.works, 99);  // out of range: ignored
  EXPECT_EQ(GetErrList(works.works).size(), 1u);
}

TEST_F(ErrorList, TemporaryCodesAreRemovedTogether) {
  for (int32_t c : {12, 4, 13}) AddErrore(works.works, c);
  EXPECT_EQ(works->errors.protState, 4);
  VerifyWarningTemporanei(works.works);
  EXPECT_TRUE(GetErrList(works.works).empty());
  for (int32_t c : {2, 12, 25}) AddErrore(works.works, c);
  VerifyWarningTemporanei(works.works);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{2, 25}));
  VerifyWarningTemporaneiDopoResetBias(works.works);
  EXPECT_EQ(GetErrList(works.works), (std::vector<int32_t>{25}));
}

TEST_F(ErrorList, VerifyErrorIgnoresTheTemperatureStates) {
  for (int32_t c : {2, 22, 23, 24}) AddErrore(works.works, c);
  EXPECT_FALSE(VerifyError(works.works));
  AddErrore(works.works, ERR_COMM);
  EXPECT_TRUE(VerifyError(works.works));
}

TEST_F(ErrorList, ErrorKeyWithATemperatureStateFirstOnlyRestartsRemote) {
  AddErrore(works.works, ERR_TEMP1_HIGH);
  AddErrore(works.works, ERR_COMM);
  works->errors.protState = 0;
  works->core.remoteActive = 1;
  works->remote.remoteFault = 1;
  works->cfg.setup->EnableWrite = works->cfg.setup->EnableRead = '1';
  works->cfg.setup->EnableCAT = works->cfg.setup->EnableFFT = '1';
  EXPECT_EQ(GPIO_Errori(works.works), 0);
  EXPECT_TRUE(log.ErrHas(">>> RESTART REMOTE!\n"));
  EXPECT_EQ(works->remote.remoteFault, 0);
  EXPECT_EQ(GetErrList(works.works).size(), 2u);
  EXPECT_TRUE(Queued().empty());
}

TEST_F(ErrorList, ErrorKeyWithAProtectionQueuesTheResetWithPriority) {
  works->link.statusC = 0x02;  // reflected-power protection reported
  works->link.ampBypass = 0;
  AddErrore(works.works, ERR_PROTECTION);
  EXPECT_EQ(GPIO_Errori(works.works), 1);
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_CP, CMD_MP0, CMD_AB0, CMD_AT}));
  EXPECT_EQ(works->link.cmdPriority, 1);
  EXPECT_EQ(works->errors.errResend, 1);

  // Without a reported protection the clear command is left out.
  works->link.statusC = 0;
  works->link.ampBypass = 1;
  ResetBiasCmd(works.works);
  EXPECT_EQ(Queued(), (std::vector<int32_t>{CMD_MP0, CMD_AB1, CMD_AT}));
}

TEST_F(ErrorList, CompletionOfAResetClearsTheListAndTheTuneWarnings) {
  for (int32_t c : {15, 12, 14}) AddErrore(works.works, c);
  GestErroreSerial(works.works);
  EXPECT_TRUE(GetErrList(works.works).empty());
  EXPECT_TRUE(works->errors.protState & 2);
}

TEST_F(ErrorList, MicroResetRequeuesTheStartUpCommands) {
  AddErrore(works.works, ERR_MICRO_RESET);
  works->errors.protState = 4;
  GestErrore(works.works);
  EXPECT_EQ(ExistError(works.works, ERR_MICRO_RESET), 0);
  EXPECT_EQ(Queued().front(), CMD_VS);
  EXPECT_TRUE(log.ErrHas("DELETE Err RESET MICRO\n"));
  EXPECT_EQ(works->core.forceFreq, -1);  // the timer applies the frequency state again
}

TEST_F(ErrorList, ConcurrentProducersKeepTheListConsistent) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; i++) {
        AddErrore(works.works, t * 5 + i % 5);
        DeleteErrore(works.works, t * 5 + (i + 2) % 5);
      }
    });
  for (auto &t : threads) t.join();
  auto list = GetErrList(works.works);
  std::sort(list.begin(), list.end());
  EXPECT_EQ(std::unique(list.begin(), list.end()), list.end()) << "a code listed twice";
  for (int32_t c : list) EXPECT_TRUE(c >= 0 && c < 20);
}
