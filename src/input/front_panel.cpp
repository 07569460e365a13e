#include "input/front_panel.h"

#include <memory>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "input/panel_link.h"
#include "input/panel_mailbox.h"
#include "platform/paths.h"

namespace {
constexpr int EXIT_NO_DEV_MEM = 8;
constexpr int EXIT_NO_MAPPING = 255;  // -1 as a process status
constexpr int64_t PASS_MILLIS = 2;

// A thread must not exit() the process under the others' feet: the unit
// stops as F12 would, and main hands the status on.
bool EndUnit(Works *works, int status) {
  works->core.exitStatus = status;
  works->core.running = 0;
  return false;
}

bool OpenBlock(Works *works, GpioContext &ctx) {
  int err = 0;
  switch (ctx.lines.Open(err)) {
    case GpioOpen::Ok:
      return true;
    case GpioOpen::NotThisBoard:
      LogSys(LOG_PRIO_ERR, "not a BCM2836/2837 board: %s not mapped", GetPaths().physMem.c_str());
      return EndUnit(works, EXIT_NO_DEV_MEM);
    case GpioOpen::OpenFailed:
      LogSys(LOG_PRIO_ERR, "can't open /dev/mem");
      return EndUnit(works, EXIT_NO_DEV_MEM);
    case GpioOpen::MapFailed:
      LogSys(LOG_PRIO_ERR, "mmap error %d\n", err);
      return EndUnit(works, EXIT_NO_MAPPING);
  }
  return false;
}
}  // namespace

bool GpioSetUp(Works *works, GpioContext &ctx) {
  LogSys(LOG_PRIO_INFO, "GPIO operations start\n");
  if (!OpenBlock(works, ctx)) return false;
  ctx.lines.SetUp();
  LogSys(LOG_PRIO_INFO, "GPIO loop start\n");
  // Each key starts released, with no previous state.
  LogErr(" t1 %d %d, t2 %d %d, t3 %d %d, t4 %d %d, t5 %d %d, t6 %d %d\n", 1, -1, 1, -1, 1, -1, 1,
         -1, 1, -1, 1, -1);
  return true;
}

void GpioPass(Works *works, GpioContext &ctx) {
  ctx.lines.SetOutput(PANEL_ALIVE_LINE, true);
  ctx.lines.SetOutput(PANEL_FLAG_LINE, !(works->input.ctrlFlags & CTRL_FW_UPDATE_REQUEST));
  SchedulePanelLink(works, ctx.slotStart);
  RunPanelExchange(works, ctx.lines);
  PanelKeysPass(works, ctx.keys, ctx.lines.Levels());
  SleepMillis(PASS_MILLIS);
}

void GPIO(Works *works) {
  PanelThreadScope panelThread;
  auto ctx = std::make_unique<GpioContext>();
  if (GpioSetUp(works, *ctx))
    while (works->core.running) GpioPass(works, *ctx);
  LogSys(LOG_PRIO_INFO, "GPIO operations end\n");
  works->input.panelThreadRunning = 0;
}
