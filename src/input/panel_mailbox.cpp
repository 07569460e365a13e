#include "input/panel_mailbox.h"

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"

std::atomic<double> TIME_LONG_PRESS{0.5};

void PostPanelCmd(Works *works, uint8_t code) {
  InputState &in = works->input;
  while (in.panelThreadRunning && works->core.running) {
    uint8_t empty = 0;
    if (in.panelCmd.compare_exchange_weak(empty, code)) return;
    SleepMillis(1);
  }
  LogSys(LOG_PRIO_INFO, "front panel not running: command %d dropped", code);
}
