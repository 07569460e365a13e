#include "remote/ws_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "remote/remote_password.h"
#include "remote/ws_conn.h"
#include "remote/ws_handshake.h"
#include "remote/ws_messages.h"
#include "settings/setup_record.h"

namespace {
constexpr int ACCEPT_POLL_MS = 200;
constexpr int64_t WRONG_PASSWORD_PAUSE_MS = 1000;
constexpr int64_t ACCEPT_RETRY_MS = 1000;

bool Running(Works *works) { return works->core.running != 0; }

int OpenListener(Works *works) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    LogSys(LOG_PRIO_ERR, "Socket open error %d", errno);
    return -1;
  }
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = htons(works->remote.TcpPort);
  if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
    LogSys(LOG_PRIO_ERR, "Binding error %d", errno);
    close(fd);
    return -1;
  }
  if (listen(fd, 1) != 0) {
    LogSys(LOG_PRIO_ERR, "Listening error %d", errno);
    close(fd);
    return -1;
  }
  LogSys(LOG_PRIO_INFO, "Listening on port %d", int(works->remote.TcpPort));
  return fd;
}

bool Transient(int error) {
  return error == EINTR || error == EAGAIN || error == ECONNABORTED || error == EPROTO ||
         error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// The next connection; -1 when the run ends or the listener fails for good.
int AcceptNext(Works *works, int listener) {
  while (Running(works)) {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, ACCEPT_POLL_MS) <= 0) continue;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = accept4(listener, reinterpret_cast<sockaddr *>(&peer), &len, SOCK_CLOEXEC);
    if (fd >= 0) {
      char text[INET_ADDRSTRLEN] = "?";
      inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
      LogSys(LOG_PRIO_INFO, "Connected by %s", text);
      return fd;
    }
    LogSys(LOG_PRIO_ERR, "Accept-ing error %d", errno);
    if (!Transient(errno)) return -1;
    PauseWhileRunning(works, ACCEPT_RETRY_MS);
  }
  return -1;
}

void ReadFrames(Works *works, WsConn &conn, WsSession &session) {
  auto frame = std::make_unique<WsFrame>();
  WsSource source = WsConnSource(conn);
  while (Running(works)) {
    conn.startDeadline = WsDeadline(session.authenticated ? WS_IDLE_MS : WS_PASSWORD_MS);
    if (ReadWsFrame(source, *frame, WS_SERVER_READ_TEXTS) != WsRead::Frame) return;
    if (HandleWsFrame(works, session, *frame) == WsAction::End) return;
  }
}

// One connection from its upgrade request to its end; true when it ended
// on a wrong password.
bool Serve(Works *works, int fd) {
  WsTuneSocket(fd);
  auto conn = std::make_unique<WsConn>();
  conn->works = works;
  conn->fd = fd;
  std::string key;
  WsSession session(WsRole::Server);
  if (WsReadUpgradeRequest(*conn, key) && WsSendUpgradeReply(*conn, key)) {
    WsAttach(works, fd);
    ReadFrames(works, *conn, session);
  }
  LogSys(LOG_PRIO_INFO, "TCP exiting");
  WsCloseConnection(works, fd);
  LogSys(LOG_PRIO_INFO, "TCP closed");
  return session.wrongPassword;
}
}  // namespace

void Wsocket(Works *works) {
  staticworks = works;
  LoadRemotePassword(works);
  LogSys(LOG_PRIO_INFO, "Wsocket on port %d mode %c", int(works->remote.TcpPort),
         works->cfg.setup->WebSocket);
  fputs("wsocket\n", stdout);
  fflush(stdout);
  PauseWhileRunning(works, 2 * works->core.pauseSecondMs);
  int listener = Running(works) ? OpenListener(works) : -1;
  if (listener < 0) return;
  while (Running(works)) {
    works->remote.wsConnected = 0;
    int fd = AcceptNext(works, listener);
    if (fd < 0) break;
    // Each wrong password costs the peer a second.
    if (Serve(works, fd)) PauseWhileRunning(works, WRONG_PASSWORD_PAUSE_MS);
  }
  close(listener);
}
