#pragma once
// The tune value lock: serialises the read-modify-write-and-send sequences of
// the tuner word between the key dispatch and the link.
struct Works;

// Waits (in 1 µs sleeps) until the lock is free, then takes it.
void WaitSemaforoTuneval(Works *works);
void StopSemaforoTuneval(Works *works);
