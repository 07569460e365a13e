#include "amplifier/cmd_queue.h"

#include "core/log.h"
#include "core/works.h"

namespace {
int32_t Next(int32_t index) { return (index + 1) % CMD_QUEUE_SIZE; }

bool AppendLocked(LinkState &l, int32_t cmd) {
  int32_t wr = l.cmdQueueWr;
  if (Next(wr) == l.cmdQueueRd) {
    LogSys(LOG_PRIO_ERR, "amplifier command queue full: command %d refused", cmd);
    return false;
  }
  l.cmdQueue[wr] = cmd;  // the slot is filled before the index moves past it
  l.cmdQueueWr = Next(wr);
  return true;
}
}  // namespace

bool IncPNTIn_CMDLinear(int32_t cmd, Works *works) {
  std::lock_guard<std::mutex> lock(works->link.cmdQueueMutex);
  return AppendLocked(works->link, cmd);
}

bool QueueCmdLinearOnce(int32_t cmd, Works *works) {
  LinkState &l = works->link;
  std::lock_guard<std::mutex> lock(l.cmdQueueMutex);
  // The consumer may take the waiting one meanwhile: the callers change what
  // it is formatted from under a lock that its sending takes too, so it still
  // goes out with their change.
  for (int32_t i = l.cmdQueueRd; i != l.cmdQueueWr; i = Next(i))
    if (l.cmdQueue[i] == cmd) return true;
  return AppendLocked(l, cmd);
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
