#pragma once
// One TCP connection to the peer as its owner thread reads it: buffered
// reads of lines and exact byte counts, every wait bounded by a deadline and
// by the run flag, so that no thread blocks for good on the network.
#include <cstddef>
#include <cstdint>

#include "remote/ws_frame.h"

struct Works;

constexpr int64_t WS_HANDSHAKE_MS = 10000;   // whole upgrade request or reply
constexpr int64_t WS_PASSWORD_MS = 10000;    // from the upgrade reply to the password
constexpr int64_t WS_IDLE_MS = 60000;        // a connected peer sends status every pass
constexpr int64_t WS_FRAME_REST_MS = 10000;  // the rest of a frame once it started
constexpr size_t WS_LINE_MAX = 1023;

struct WsConn {
  Works *works = nullptr;
  int fd = -1;
  int64_t startDeadline = 0;  // monotonic µs by which the next frame must start
  uint8_t buf[8192];
  size_t begin = 0, end = 0;
};

// A deadline `ms` from now, in monotonic µs.
int64_t WsDeadline(int64_t ms);

// Exactly `n` bytes; false on the end of the stream, an error, the deadline
// or the run flag dropping (errno tells which: 0, the error, ETIMEDOUT,
// ECANCELED).
bool WsReadExact(WsConn &conn, uint8_t *out, size_t n, int64_t deadline);

// One line of at most WS_LINE_MAX characters, with its '\n' when it has one;
// -1 when nothing more comes.
int WsReadLine(WsConn &conn, char *line, int64_t deadline);

// A frame source over the connection: a frame starts by conn.startDeadline,
// its rest comes within WS_FRAME_REST_MS.
WsSource WsConnSource(WsConn &conn);

// Writes all bytes without ever raising SIGPIPE; false when the peer is gone
// or stopped reading for longer than the send time-out.
bool WsSendAll(int fd, const void *data, size_t len);

// Keep-alive to notice a dead peer, a send time-out so that a stalled peer
// cannot hold a sender, and no delay for small frames.
void WsTuneSocket(int fd);

// The connection becomes the one every sender writes to.
void WsAttach(Works *works, int fd);
// Ends the connection: no sender writes to it any more, then it is closed.
void WsCloseConnection(Works *works, int fd);
