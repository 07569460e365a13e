#pragma once
// The 30-slot circular queue of amplifier command numbers: many producers,
// one consumer (the link thread).
#include <cstdint>

struct Works;

// Appends a command number. A full queue (29 pending) refuses the command
// with a log line rather than wrapping onto the pending ones. True if queued.
bool IncPNTIn_CMDLinear(int32_t cmd, Works *works);

// Appends a command unless the same number is already waiting: for commands
// formatted from the record when they are sent, one waiting covers every
// change made before it goes out. True if queued or already waiting.
bool QueueCmdLinearOnce(int32_t cmd, Works *works);

// Takes the oldest pending command into `cmd`; false when the queue is empty.
bool TakeCmdLinear(Works *works, int32_t &cmd);

bool CmdQueueEmpty(Works *works);
int CmdQueuePending(Works *works);
