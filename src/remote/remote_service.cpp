#include "remote/remote_service.h"

#include "core/log.h"
#include "platform/paths.h"
#include "platform/shell.h"

void RemoteConnection() {
  LogErr("launching ssh\n");
  LogSys(LOG_PRIO_INFO, "launching ssh");
  RunShell(GetPaths().sshShell);
  LogSys(LOG_PRIO_INFO, "launched ssh");
}
