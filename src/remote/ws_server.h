#pragma once
// The server end of the remote link: one peer at a time, for the whole run.
struct Works;

void Wsocket(Works *works);
