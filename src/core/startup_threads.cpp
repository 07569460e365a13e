// The small threads of the start-up: the countdown, the removal of the
// update marker, the one-shot network information read.
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "display/screen.h"
#include "input/panel_mailbox.h"
#include "network/lan_info.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "settings/safe_write.h"

namespace {
constexpr uint8_t PANEL_COUNTDOWN = 0xB5;
}

void LoadThread(Works *works) {
  const int64_t start = MonotonicMicros();
  bool posted = false;
  while (startInitThread == 1 && works->core.running) {
    CopyBackground(works);
    SleepMillis(works->core.pauseSecondMs);
    // The count follows elapsed time, as the start-up's own pause does: on a
    // busy machine a late step skips a number instead of stretching the count.
    int elapsed = int(MillisSince(start) / works->core.pauseSecondMs);
    int counter = waitTAVO + 1 - elapsed;
    char text[32];
    snprintf(text, sizeof text, "Loading ...%2d", counter);
    if (!posted && counter <= 4) {
      PostPanelCmd(works, PANEL_COUNTDOWN);
      posted = true;
    }
    {
      // Tested under the display lock: once start-up has moved on to the
      // main screen, a countdown step that woke late must not draw over it.
      std::lock_guard<std::recursive_mutex> lock(works->display.drawMutex);
      if (startInitThread != 1) break;
      ShowText(works, 9, 300, 400, text, 255, 255, 255);
    }
    LogErr("Time %s..\n", text);
  }
  PostPanelCmd(works, PANEL_COUNTDOWN);
  works->core.initDone = 1;
}

void AggFWThread(Works *works) {
  // The program has to have run 30 s before the update is taken as good; a
  // stop in the meantime leaves the marker for the update procedure.
  for (int i = 0; i < 30; i++) {
    if (!works->core.running) return;
    SleepSeconds(1);
  }
  const Paths &paths = GetPaths();
  std::lock_guard<std::mutex> lock(SettingsPartitionMutex());
  if (!RunShell(MountSettingsRwCommand())) {
    int err = errno;
    LogSys(LOG_PRIO_ERR, "can't mount rw %s/ error %d", paths.setDir.c_str(), err);
    LogErr("can't mount rw %s/ error %d\n", paths.setDir.c_str(), err);
    return;
  }
  std::string rm = "rm -f " + paths.updateMarker + " >/dev/null 2>&1";
  if (!RunShell(rm)) {
    int err = errno;
    LogSys(LOG_PRIO_ERR, "can't :%s  ->error %d", rm.c_str(), err);
    LogErr("can't :%s  ->error %d\n", rm.c_str(), err);
    return;
  }
  if (!RunShell(MountSettingsRoCommand()))
    LogSys(LOG_PRIO_ERR, "can't mount ro %s/ error %d", paths.setDir.c_str(), errno);
  LogErr("--------- END THREAD AGG FW!!!\n");
}

void LANInfoThread(Works *works) {
  works->core.lanInfoBusy = 1;
  ReadLANconnection(works);
  works->core.lanInfoTime = WallSeconds();
  works->core.lanInfoBusy = 0;
}
