#pragma once
// Between the parts of the link thread: sending a command state and the
// handling of a port that does not take it.
#include <cstdint>

struct Works;

// Sends the command of `state`; false when `state` names no command.
bool SendCmdLinear(Works *works, int32_t state);
// The port did not take a command: the exchange failed as if no reply had
// come, and the port is opened again.
void LinearExchangeFailed(Works *works);
