#pragma once
// Status commands from the peer ("ST" messages): bank change, spectrum
// source and rate, reboot.
struct Works;

// Acts on works->remote.statusMsg.
void dispStat(Works *works);
