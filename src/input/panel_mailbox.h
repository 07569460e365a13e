#pragma once
#include <cstdint>

struct Works;

// Hands a command to the front-panel thread: waits until the mailbox is empty,
// then stores it. Without a running front-panel thread nothing would ever
// empty the mailbox, so the command is dropped with a log line. Posted from
// the front-panel thread itself it never waits: it is queued behind the
// mailbox for the next free slots.
void PostPanelCmd(Works *works, uint8_t code);

// The next command for the link: the mailbox first, then the front-panel
// thread's own posts; 0 when there is none.
uint8_t TakePanelCmd(Works *works);

// Marks the calling thread as the front-panel thread while it exists.
class PanelThreadScope {
 public:
  PanelThreadScope();
  ~PanelThreadScope();
  PanelThreadScope(const PanelThreadScope &) = delete;
  PanelThreadScope &operator=(const PanelThreadScope &) = delete;
};
