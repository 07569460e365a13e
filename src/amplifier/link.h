#pragma once
// The link thread and its state machine: it owns the amplifier's port, sends
// the queued commands between its status polls, receives and decodes the
// replies, and resends a command whose exchange failed.
#include <cstddef>
#include <cstdint>

struct Works;

// Reply timing: 1.5 s without a byte since the last write is a failed
// exchange; the link looks for bytes every millisecond.
constexpr int REPLY_TIMEOUT_MS = 1500;
constexpr int PAUSE_AFTER_REPLY_MS = 20;
constexpr int PAUSE_AFTER_STATUS_MS = 10;

// Thread body: runs until `running` drops.
void Linear(Works *works);

// Opens and sets up the port named by LinPort; false (and the port error
// shown) when it cannot.
bool OpenLinear(Works *works);
// Acts on the present link state once: send, receive a byte, decode, park.
void RunLinearState(Works *works);

// Sends one framed command (CRC digits, then the text); false when the port
// does not take it.
bool writeLinearPort(int fd, const char *text, size_t length, Works *works);
void LastCmdSent(Works *works, char letter1, char letter2, int32_t state);
// Sends the attenuator command for `value` (0..3: 3 dB pad, 2 dB pad).
void SetAttenuatorCMD(Works *works, int value, int32_t state);

// Next state after a reply: with priority, the next queued command.
void NextCmdPriority(Works *works, int32_t fallback);
// One failed exchange: resend, or after the fourth failure poll again.
void GestRetrayCMD(Works *works);

// One received byte into the reply buffer; a complete frame moves the link
// to decoding.
void AcceptReplyByte(Works *works, char c);
// Decodes the frame in the buffer and empties it.
void DecodeLinearReply(Works *works);
