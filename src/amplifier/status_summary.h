#pragma once
// The status summary the remote side receives: band, interface, attenuator,
// antenna, bypass, tuner, readings, bank and the last error.
struct Works;

constexpr int STATUS_SUMMARY_LEN = 52;   // characters before the terminating 0
constexpr int STATUS_SUMMARY_SENT = 44;  // what the status frame carries

// Fills `out` (STATUS_SUMMARY_LEN + 1 bytes).
void CreaBufferDiStato(Works *works, char *out);
