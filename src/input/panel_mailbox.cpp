#include "input/panel_mailbox.h"

#include <algorithm>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"

std::atomic<double> TIME_LONG_PRESS{0.5};

namespace {
thread_local bool onPanelThread = false;

void QueueOwnPost(InputState &in, uint8_t code) {
  if (in.ownPostCount == PANEL_OWN_POSTS) {
    LogSys(LOG_PRIO_ERR, "front panel busy: command %d dropped", code);
    return;
  }
  in.ownPosts[in.ownPostCount++] = code;
}
}  // namespace

PanelThreadScope::PanelThreadScope() { onPanelThread = true; }
PanelThreadScope::~PanelThreadScope() { onPanelThread = false; }

void PostPanelCmd(Works *works, uint8_t code) {
  InputState &in = works->input;
  if (onPanelThread) {
    QueueOwnPost(in, code);
    return;
  }
  while (in.panelThreadRunning && works->core.running) {
    uint8_t empty = 0;
    if (in.panelCmd.compare_exchange_weak(empty, code)) return;
    SleepMillis(1);
  }
  LogSys(LOG_PRIO_INFO, "front panel not running: command %d dropped", code);
}

uint8_t TakePanelCmd(Works *works) {
  InputState &in = works->input;
  if (uint8_t code = in.panelCmd.exchange(0)) return code;
  if (in.ownPostCount == 0) return 0;
  uint8_t code = in.ownPosts[0];
  std::copy(in.ownPosts + 1, in.ownPosts + in.ownPostCount, in.ownPosts);
  in.ownPostCount--;
  return code;
}
