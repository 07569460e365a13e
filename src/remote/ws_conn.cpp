#include "remote/ws_conn.h"

#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"

namespace {
constexpr int POLL_SLICE_MS = 200;
constexpr int SEND_TIMEOUT_S = 1;
constexpr int KEEP_IDLE_S = 10, KEEP_INTERVAL_S = 5, KEEP_COUNT = 3;

// Waits for bytes and takes what came into the buffer.
bool Fill(WsConn &conn, int64_t deadline) {
  while (conn.works->core.running) {
    int64_t left = deadline - MonotonicMicros();
    if (left <= 0) {
      errno = ETIMEDOUT;
      return false;
    }
    pollfd p{conn.fd, POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(std::min<int64_t>(left / 1000 + 1, POLL_SLICE_MS)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    ssize_t n = recv(conn.fd, conn.buf, sizeof conn.buf, 0);
    if (n > 0) {
      conn.begin = 0;
      conn.end = static_cast<size_t>(n);
      return true;
    }
    if (n == 0) {
      errno = 0;
      return false;
    }
    if (errno != EINTR && errno != EAGAIN) return false;
  }
  errno = ECANCELED;
  return false;
}

bool ReadFromConn(void *context, uint8_t *buf, size_t n, bool frameStart) {
  WsConn &conn = *static_cast<WsConn *>(context);
  return WsReadExact(conn, buf, n, frameStart ? conn.startDeadline : WsDeadline(WS_FRAME_REST_MS));
}

void SetInt(int fd, int level, int name, int value) {
  if (setsockopt(fd, level, name, &value, sizeof value) != 0)
    LogSys(LOG_PRIO_ERR, "socket option %d error %d", name, errno);
}
}  // namespace

int64_t WsDeadline(int64_t ms) { return MonotonicMicros() + ms * 1000; }

bool WsReadExact(WsConn &conn, uint8_t *out, size_t n, int64_t deadline) {
  size_t got = 0;
  while (got < n) {
    if (conn.begin == conn.end && !Fill(conn, deadline)) return false;
    size_t take = std::min(n - got, conn.end - conn.begin);
    memcpy(out + got, conn.buf + conn.begin, take);
    conn.begin += take;
    got += take;
  }
  return true;
}

int WsReadLine(WsConn &conn, char *line, int64_t deadline) {
  size_t len = 0;
  while (len < WS_LINE_MAX) {
    if (conn.begin == conn.end && !Fill(conn, deadline)) break;
    char c = static_cast<char>(conn.buf[conn.begin++]);
    line[len++] = c;
    if (c == '\n') break;
  }
  line[len] = 0;
  return len > 0 ? static_cast<int>(len) : -1;
}

WsSource WsConnSource(WsConn &conn) { return WsSource{ReadFromConn, &conn}; }

bool WsSendAll(int fd, const void *data, size_t len) {
  const uint8_t *p = static_cast<const uint8_t *>(data);
  while (len > 0) {
    ssize_t n = send(fd, p, len, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

void WsTuneSocket(int fd) {
  SetInt(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetInt(fd, IPPROTO_TCP, TCP_KEEPIDLE, KEEP_IDLE_S);
  SetInt(fd, IPPROTO_TCP, TCP_KEEPINTVL, KEEP_INTERVAL_S);
  SetInt(fd, IPPROTO_TCP, TCP_KEEPCNT, KEEP_COUNT);
  SetInt(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  timeval timeout{SEND_TIMEOUT_S, 0};
  if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0)
    LogSys(LOG_PRIO_ERR, "socket option %d error %d", SO_SNDTIMEO, errno);
}

void WsAttach(Works *works, int fd) {
  std::lock_guard<std::mutex> lock(works->remote.wsSendMutex);
  works->remote.wsSocket = fd;
}

void WsCloseConnection(Works *works, int fd) {
  std::lock_guard<std::mutex> lock(works->remote.wsSendMutex);
  works->remote.wsConnected = 0;
  if (works->remote.wsSocket == fd) works->remote.wsSocket = -1;
  if (close(fd) != 0) LogSys(LOG_PRIO_ERR, "TCP close Error");
}
