#pragma once
// The companion transceiver's extended-IO link: typed messages with a
// hexadecimal length from the transceiver, short text commands to it.
#include <cstddef>
#include <cstdint>

struct Works;

constexpr int EXT_IO_MAX_LENGTH = 1999;  // longest payload taken from a message
constexpr int EXT_IO_HOLDOFF_MS = 2000;  // after a reported time-out

// The link thread: opens SerPort and serves it while extIoRun is '1'.
void Serial(Works *works);

// The message loop on an open serFD, until extIoRun is no longer '1' or the
// program stops.
void ServeExtIoLink(Works *works);

// Reads exactly `n` bytes from serFD, reporting a time-out once per hold-off
// while they are late; false when the link is told to stop first.
bool readSerialPort(Works *works, uint8_t *buf, int n);

// Reads a message's kind character and its four length digits into lenBuf;
// `len` gets the payload length. False when the link is told to stop first.
bool decodeCmdParameters(Works *works, uint8_t *lenBuf, char &kind, int &len);

// Payload length from the four digits as they arrive (least significant
// first), limited to EXT_IO_MAX_LENGTH.
int ExtIoDataLength(const uint8_t *digits);

// Handles one message whose type byte has arrived: reads the rest, stores it,
// then serves the pending requests to the transceiver.
void HandleExtIoMessage(Works *works, uint8_t type);

// Sends the transceiver what the tune handshake and the manual-tune key ask for.
void ServeTransceiverRequests(Works *works);

bool writeSerialPort(int fd, const void *data, size_t len);

// Reports a link time-out, at most once per hold-off (error 8 with the
// companion transceiver as interface).
void ReportExtIoTimeout(Works *works, const char *message);
