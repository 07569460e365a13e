#pragma once
// FT-817 polling over its CAT port: 5-byte binary commands, BCD replies.
#include <atomic>
#include <cstddef>
#include <cstdint>

struct Works;

constexpr int FT817_FRAME_BYTES = 5;

// State of the one poller: 3 send the request, 2 collect reply bytes, 1 decode.
extern std::atomic<int> catProcessStatus;
// 0 none, 3 the frequency-and-mode request was sent.
extern std::atomic<int> lastCommandSent;
// Monotonic time of the last write: 1.5 s after it without a reply is a
// time-out.
extern std::atomic<int64_t> catLastWriteMicros;

// The poller thread: opens CatSerialPort and polls while catSerialRun is '1'.
void CatSerial(Works *works);

// The request/collect/decode cycle on an open catSerFD.
void PollFt817(Works *works);

// Writes all bytes to the FT-817 and notes the time of the write.
bool writeSerialCatPort(int fd, const void *data, size_t len);

// Decodes one 5-byte reply of the frequency-and-mode request into catFreq and
// catMode; a reply shorter than 5 bytes is not decoded.
void DecodeCatSerialCmd(Works *works, const uint8_t *reply, size_t len);

// True when the byte is not packed BCD.
bool VerifyByteFreq(uint8_t byte);
