// Feeds a byte stream to the amplifier link's receive path, as if the
// amplifier had sent it: every frame is checked, decoded and acted on.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/link.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "tuner/auto_tune.h"

namespace {
void NoSleep(int64_t) {}

// A fan curve, so that the status replies drive it too.
void FanCurve(Works *works) {
  works->cfg.tabVentola = std::make_unique<FanRow[]>(3);
  works->cfg.tabVentola[0] = {30, 0};
  works->cfg.tabVentola[1] = {40, 50};
  works->cfg.tabVentola[2] = {50, 100};
  works->cfg.nRowVentola = 3;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool once = [] {
    SetClockSource(
        {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, NoSleep});
    return true;
  }();
  (void)once;
  LogCapture log;
  auto works = std::make_unique<Works>();
  SetupRecord setup{};
  works->cfg.setup = &setup;
  initSetup(works.get());
  InitErrDescr(works.get());
  works->errors.errMask = 0;
  works->core.initDone = 1;
  FanCurve(works.get());
  // The first byte picks the options the decoding depends on.
  if (size > 0) {
    works->cfg.EnablePwrPeak = data[0] & 1;
    works->tuner.tuneStatus = (data[0] >> 1) & 3;
    // A tune waits for the carrier that never comes: the steps store nothing.
    works->tuner.statoTune = TUNE_FAST_FIRST;
    works->core.tavoTx = 0;
    works->link.cmdPriority = (data[0] >> 3) & 1;
  }
  LinkState &l = works->link;
  for (size_t i = 1; i < size; i++) {
    l.linearProcessStatus = CMD_WAIT_REPLY;
    AcceptReplyByte(works.get(), static_cast<char>(data[i]));
    if (l.linearProcessStatus == CMD_DECODE) DecodeLinearReply(works.get());
    for (int32_t cmd; CmdQueuePending(works.get()) > 20 && TakeCmdLinear(works.get(), cmd);) {
    }
  }
  return 0;
}
