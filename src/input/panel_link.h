#pragma once
// The byte exchange with the small front-panel controller: a command byte
// clocked out on the data line, a 12-bit answer clocked back in, one
// exchange per slot of about 0.4 s, rotating through the version and supply
// queries unless a command was posted.
#include <cstdint>

class PanelLines;
struct Works;

constexpr uint8_t PANEL_LINK_IDLE = 255;
constexpr uint32_t PANEL_SLOT_PASSES = 200;  // 2 ms passes between exchanges

// Sends `command` and returns the last 8 of the 12 bits answered.
uint8_t ExchangePanelByte(PanelLines &lines, uint8_t command);

// While the link is idle: counts the slot down on the monotonic clock and,
// when it has run out, picks the next command (posted ones first, then the
// rotation, whose fifth slot is empty). `slotStart` is the thread's own.
void SchedulePanelLink(Works *works, int64_t &slotStart);

// Runs the exchange of the picked command and stores the reply by class.
void RunPanelExchange(Works *works, PanelLines &lines);
