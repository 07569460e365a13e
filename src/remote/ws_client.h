#pragma once
// The client end of the remote link: connects to the unit named by the
// Server setting and reconnects whenever the connection breaks.
struct Works;

void Wclient(Works *works);
