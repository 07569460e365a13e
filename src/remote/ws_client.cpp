#include "remote/ws_client.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "platform/paths.h"
#include "remote/remote_password.h"
#include "remote/ws_conn.h"
#include "remote/ws_handshake.h"
#include "remote/ws_messages.h"
#include "settings/setup_record.h"

namespace {
constexpr int64_t CONNECT_WAIT_MS = 2000;
constexpr int64_t CONNECT_RETRY_MS = 2000;
constexpr int64_t RECONNECT_MS = 100;
// A connection the server ends this soon after the password (a password it
// does not take) is not tried again at once.
constexpr int64_t SHORT_LIFE_MS = 2000;
constexpr int POLL_SLICE_MS = 200;

bool Running(Works *works) { return works->core.running != 0; }

bool MakeKey(std::string &key) {
  int fd = open(GetPaths().urandom.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    LogSys(LOG_PRIO_ERR, "/dev/urandom error %d", errno);
    return false;
  }
  uint8_t bytes[16];
  ssize_t n = read(fd, bytes, sizeof bytes);
  int error = errno;
  close(fd);
  if (n != sizeof bytes) {
    LogSys(LOG_PRIO_ERR, "/dev/urandom read %d instead of 16, error=%d", int(n), error);
    return false;
  }
  key = WsClientKey(bytes);
  return true;
}

bool Resolve(Works *works, sockaddr_in &addr) {
  const char *host = works->cfg.setup->Server;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
    LogSys(LOG_PRIO_ERR, "ERROR, no such host as %s\n", host);
    return false;
  }
  LogSys(LOG_PRIO_INFO, "server ok");
  memcpy(&addr, found->ai_addr, sizeof addr);
  freeaddrinfo(found);
  addr.sin_port = htons(works->remote.TcpPort);
  LogSys(LOG_PRIO_INFO, "TCP bound");
  return true;
}

// One connection attempt that gives up after CONNECT_WAIT_MS or a stop.
bool TryConnect(Works *works, int fd, const sockaddr_in &addr) {
  int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  bool done = connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
  for (int64_t end = WsDeadline(CONNECT_WAIT_MS);
       !done && errno == EINPROGRESS && Running(works) && MonotonicMicros() < end;) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, POLL_SLICE_MS) <= 0) continue;
    int error = 0;
    socklen_t len = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
    done = error == 0;
    errno = error;
    if (!done) break;
  }
  fcntl(fd, F_SETFL, flags);
  return done;
}

// A connected socket, trying every CONNECT_RETRY_MS; -1 when the thread
// has to end.
int Connect(Works *works) {
  while (Running(works)) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      LogSys(LOG_PRIO_ERR, "Socket error %d", errno);
      return -1;
    }
    LogSys(LOG_PRIO_INFO, "Socket for TCP created");
    sockaddr_in addr{};
    if (!Resolve(works, addr)) {
      close(fd);
      return -1;
    }
    if (TryConnect(works, fd, addr)) return fd;
    close(fd);
    LogSys(LOG_PRIO_ERR, "Connect Error\n");
    works->remote.wsConnected = 0;
    PauseWhileRunning(works, CONNECT_RETRY_MS);
  }
  return -1;
}

bool SendPassword(Works *works, int fd) {
  const char *password = works->remote.password;
  uint8_t frame[WS_TEXT_MAX + 6];
  size_t len = BuildTextFrame(frame, password, strlen(password));
  std::lock_guard<std::mutex> lock(works->remote.wsSendMutex);
  works->remote.wsSocket = fd;
  return WsSendAll(fd, frame, len);
}

void ReadFrames(Works *works, WsConn &conn) {
  auto frame = std::make_unique<WsFrame>();
  WsSource source = WsConnSource(conn);
  WsSession session(WsRole::Client);
  while (works->remote.wsConnected && Running(works)) {
    conn.startDeadline = WsDeadline(WS_IDLE_MS);
    if (ReadWsFrame(source, *frame, WS_CLIENT_READ_TEXTS) != WsRead::Frame) return;
    if (HandleWsFrame(works, session, *frame) == WsAction::End) return;
  }
}

// One connection from the request to its end; false when the thread has to
// end (the server's accept value was wrong).
bool Session(Works *works, int fd, const std::string &key) {
  WsTuneSocket(fd);
  auto conn = std::make_unique<WsConn>();
  conn->works = works;
  conn->fd = fd;
  WsSendUpgradeRequest(*conn, works->cfg.setup->Server, works->remote.TcpPort, key);
  WsReply reply = WsReadUpgradeReply(*conn, key);
  if (reply == WsReply::WrongKey) {
    WsCloseConnection(works, fd);
    SleepSeconds(1);
    AddErrore(works, ERR_SOCKET_CLOSE);
    return false;
  }
  int64_t since = MonotonicMicros();
  if (reply == WsReply::Accepted && SendPassword(works, fd)) {
    works->remote.wsConnected = 1;
    SleepMillis(20);
    LogSys(LOG_PRIO_INFO, "Websocket Connected");
    ReadFrames(works, *conn);
  }
  works->remote.wsConnected = 0;
  LogSys(LOG_PRIO_ERR, "reconnecting");
  WsCloseConnection(works, fd);
  SleepMillis(RECONNECT_MS);
  if (MonotonicMicros() - since < SHORT_LIFE_MS * 1000) PauseWhileRunning(works, SHORT_LIFE_MS);
  return true;
}
}  // namespace

void Wclient(Works *works) {
  LoadRemotePassword(works);
  LogSys(LOG_PRIO_INFO, "Wclient to server %s on port %d mode %c", works->cfg.setup->Server,
         int(works->remote.TcpPort), works->cfg.setup->WebSocket);
  std::string key;
  if (!MakeKey(key)) return;
  works->remote.wsConnected = 0;
  while (Running(works)) {
    int fd = Connect(works);
    if (fd < 0) return;
    LogSys(LOG_PRIO_INFO, "TCP connected\n");
    if (!Session(works, fd, key)) return;
  }
}
