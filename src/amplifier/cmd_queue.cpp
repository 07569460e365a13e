#include "amplifier/cmd_queue.h"

#include "core/log.h"
#include "core/works.h"

namespace {
int32_t Next(int32_t index) { return (index + 1) % CMD_QUEUE_SIZE; }
}  // namespace

bool IncPNTIn_CMDLinear(int32_t cmd, Works *works) {
  LinkState &l = works->link;
  std::lock_guard<std::mutex> lock(l.cmdQueueMutex);
  int32_t wr = l.cmdQueueWr;
  if (Next(wr) == l.cmdQueueRd) {
    LogSys(LOG_PRIO_ERR, "amplifier command queue full: command %d refused", cmd);
    return false;
  }
  l.cmdQueue[wr] = cmd;  // the slot is filled before the index moves past it
  l.cmdQueueWr = Next(wr);
  return true;
}

bool TakeCmdLinear(Works *works, int32_t &cmd) {
  LinkState &l = works->link;
  int32_t rd = l.cmdQueueRd;
  if (rd == l.cmdQueueWr) return false;
  cmd = l.cmdQueue[rd];
  l.cmdQueue[rd] = 0;
  l.cmdQueueRd = Next(rd);
  return true;
}

bool CmdQueueEmpty(Works *works) { return works->link.cmdQueueRd == works->link.cmdQueueWr; }

int CmdQueuePending(Works *works) {
  int n = works->link.cmdQueueWr - works->link.cmdQueueRd;
  return n < 0 ? n + CMD_QUEUE_SIZE : n;
}
