#pragma once
// The companion transceiver's CAT text relayed to the remote peer: every
// ';'-terminated message that the transceiver sends on its CAT port goes to
// the peer as one CAT frame.
#include <atomic>

struct Works;

// 1 while the relay holds the CAT port open.
extern std::atomic<int> status_cat;

// The relay thread (runs while EnableCAT is '1'). It owns catFD: it opens
// the port through the search, and closes it when it ends.
void Cat(Works *works);

// Stops the relay and reports the fault: remoteFault, EnableCAT '0', error
// 20. Any thread may call it; the relay sees the flag within a few
// milliseconds and closes its port itself.
void ExitCAT(Works *works);
