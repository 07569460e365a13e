#pragma once
// SIGTERM and SIGINT ask the unit to stop: the handler only clears the run
// flag, so the unit's own shutdown (closing screen, joins) runs as for any
// other stop. The service manager stops the unit this way.
#include <atomic>
#include <cstdint>

// Installs the handlers for SIGTERM and SIGINT.
void StopOnSignals();

// The run flag the handlers clear; null when there is none (before the
// record exists, after the shutdown). A signal that came while there was
// none clears the next flag handed here, so an early stop is not lost.
void WatchRunFlag(std::atomic<int32_t> *running);
