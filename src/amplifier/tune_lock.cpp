#include "amplifier/tune_lock.h"

#include "core/clock.h"
#include "core/works.h"

void WaitSemaforoTuneval(Works *works) {
  while (works->link.tuneValLock.exchange(1)) SleepMicros(1);
}

void StopSemaforoTuneval(Works *works) { works->link.tuneValLock = 0; }
