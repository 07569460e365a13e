// Choosing the next state after a reply, and what a failed exchange does.
#include <cstdio>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/errors.h"
#include "amplifier/link.h"
#include "core/log.h"
#include "core/works.h"

namespace {
constexpr int MAX_RESENDS = 3;
constexpr int32_t COMM_ERR_HOLDOFF_MS = 2000;
}  // namespace

void NextCmdPriority(Works *works, int32_t fallback) {
  LinkState &l = works->link;
  l.retryCount = 0;
  if (!l.cmdPriority) {
    l.linearProcessStatus = fallback;
    return;
  }
  int32_t cmd;
  if (TakeCmdLinear(works, cmd)) {
    l.linearProcessStatus = cmd;
    LogErr("cmd ext: %d\n", int(cmd));
    return;
  }
  l.cmdPriority = 0;
  l.linearProcessStatus = fallback;
  uint8_t resendQueued = 1;
  if (works->errors.errResend.compare_exchange_strong(resendQueued, 2))
    LogErr(">>> ERRORI: Send All CMD for Error\n");
}

void GestRetrayCMD(Works *works) {
  LinkState &l = works->link;
  l.retryTotal++;
  char a = l.lastCmdLetters[0], b = l.lastCmdLetters[1];
  if (l.retryCount < MAX_RESENDS) {
    l.retryCount++;
    l.linearProcessStatus = int32_t(l.lastCmdState);
    LogErr("--------------------------------------- ERROR LINEAR: RETRAY %c%c (%d , %d)\n", a, b,
           int(l.retryTotal), int(l.retryCount));
    return;
  }
  char line2[8];
  snprintf(line2, sizeof line2, "Err %c%c", a, b);
  SetErrLine2(works, ERR_COMM, line2);
  if (l.commErrHoldoff == 0) {
    AddErrore(works, ERR_COMM);
    l.commErrHoldoff = COMM_ERR_HOLDOFF_MS;
  }
  LogErr(
      "---------------------------------------STOP RETRAY!! %c%c (%d, %d) Restart da ST "
      "(Timer: %i)\n",
      a, b, int(l.retryTotal), int(l.retryCount), int(l.commErrHoldoff));
  l.retryStops++;
  l.linearProcessStatus = CMD_ST;
  l.retryCount = 0;
}
