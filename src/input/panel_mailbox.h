#pragma once
#include <cstdint>

struct Works;

// Hands a command to the front-panel thread: waits until the mailbox is empty,
// then stores it. Without a running front-panel thread nothing would ever
// empty the mailbox, so the command is dropped with a log line.
void PostPanelCmd(Works *works, uint8_t code);
