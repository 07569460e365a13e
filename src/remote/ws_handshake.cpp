#include "remote/ws_handshake.h"

#include <errno.h>
#include <glib.h>
#include <openssl/sha.h>

#include <cstring>

#include "core/log.h"

namespace {
const char GUID[] = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr int REQUEST_LINES_MAX = 64;  // a peer cannot keep the server reading for ever

const char *const REQUEST_PREFIXES[] = {"GET ",
                                        "Host: ",
                                        "Sec-WebSocket-Version: ",
                                        "Sec-WebSocket-Protocol: ",
                                        "Sec-WebSocket-Key: ",
                                        "Connection: keep-alive, Upgrade",
                                        "Upgrade: websocket"};
const char *const REPLY_PREFIXES[] = {"HTTP/1.1 101 Switching Protocols", "Upgrade: websocket",
                                      "Connection: Upgrade",
                                      "Sec-WebSocket-Accept:", "Sec-WebSocket-Protocol: chat"};
const char REQUEST_KEY[] = "Sec-WebSocket-Key: ";
const char REPLY_KEY[] = "Sec-WebSocket-Accept: ";

std::string Base64(const uint8_t *data, size_t len) {
  gchar *text = g_base64_encode(data, len);
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

bool StartsWith(const char *line, const char *prefix) {
  return strncmp(line, prefix, strlen(prefix)) == 0;
}

// Counts a header line against the prefixes (and an empty line as one).
template <size_t N>
void CountLine(const char *line, int len, const char *const (&prefixes)[N], int &counter) {
  for (const char *prefix : prefixes) {
    if (!StartsWith(line, prefix)) continue;
    counter++;
    LogSys(LOG_PRIO_INFO, "Caught %s go to status %d/%d\n", prefix, counter, int(N));
  }
  if (len < 3) {
    counter++;
    LogSys(LOG_PRIO_INFO, "status advanced %d", counter);
  }
}

// The value behind `prefix` without up to two trailing CR or LF characters.
std::string HeaderValue(const char *line, const char *prefix) {
  std::string value = line + strlen(prefix);
  LogSys(LOG_PRIO_INFO, "Caught key %s", value.c_str());
  for (int i = 0; i < 2 && !value.empty() && (value.back() == '\r' || value.back() == '\n'); i++)
    value.pop_back();
  LogSys(LOG_PRIO_INFO, "Caught key %s", value.c_str());
  return value;
}

bool CompleteLine(const char *line, int len) {
  if (len <= 0 || line[len - 1] != '\n') return false;
  LogSys(LOG_PRIO_INFO, "Received %d bytes %s", len, line);
  return true;
}

bool SendLine(WsConn &conn, const std::string &text) {
  bool sent = WsSendAll(conn.fd, text.data(), text.size());
  LogSys(LOG_PRIO_INFO, "sent %d bytes error %d", sent ? int(text.size()) : -1, sent ? 0 : errno);
  LogSys(LOG_PRIO_INFO, "%s", text.c_str());
  return sent;
}
}  // namespace

std::string WsAcceptValue(const std::string &key) {
  std::string text = key + GUID;
  uint8_t digest[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const uint8_t *>(text.data()), text.size(), digest);
  return Base64(digest, sizeof digest);
}

std::string WsClientKey(const uint8_t random[16]) { return Base64(random, 16); }

bool WsReadUpgradeRequest(WsConn &conn, std::string &key) {
  int64_t deadline = WsDeadline(WS_HANDSHAKE_MS);
  char line[WS_LINE_MAX + 1];
  int counter = 0;
  for (int lines = 0; counter <= 7; lines++) {
    int len = WsReadLine(conn, line, deadline);
    if (len < 0 || lines >= REQUEST_LINES_MAX) {
      LogSys(LOG_PRIO_ERR, "TCP read error %d", len < 0 ? errno : E2BIG);
      return false;
    }
    if (!CompleteLine(line, len)) continue;
    CountLine(line, len, REQUEST_PREFIXES, counter);
    if (StartsWith(line, REQUEST_KEY)) key = HeaderValue(line, REQUEST_KEY);
  }
  return true;
}

bool WsSendUpgradeReply(WsConn &conn, const std::string &key) {
  std::string accept = WsAcceptValue(key);
  LogSys(LOG_PRIO_INFO, "Sec-WebSocket-Accept: %s", accept.c_str());
  return SendLine(conn, "HTTP/1.1 101 Switching Protocols\r\n") &&
         SendLine(conn, "Upgrade: websocket\r\n") && SendLine(conn, "Connection: Upgrade\r\n") &&
         SendLine(conn, "Sec-WebSocket-Accept: " + accept + "\r\n") &&
         SendLine(conn, "Sec-WebSocket-Protocol: chat\r\n\r\n");
}

bool WsSendUpgradeRequest(WsConn &conn, const char *host, int port, const std::string &key) {
  const std::string lines[] = {"GET /chat HTTP/1.1\r\n",
                               StrPrintf("Host: %s:%d\r\n", host, port),
                               "Upgrade: websocket\r\n",
                               "Connection: keep-alive, Upgrade\r\n",
                               "Sec-WebSocket-Key: " + key + "\r\n",
                               "Sec-WebSocket-Version: 13\r\n\r\n\r\n"};
  for (const std::string &text : lines) {
    if (!WsSendAll(conn.fd, text.data(), text.size())) {
      LogSys(LOG_PRIO_ERR, "TCP write Error");
      return false;
    }
    LogSys(LOG_PRIO_INFO, "TCP write %d bytes\n", int(text.size()));
  }
  return true;
}

WsReply WsReadUpgradeReply(WsConn &conn, const std::string &key) {
  int64_t deadline = WsDeadline(WS_HANDSHAKE_MS);
  std::string expected = WsAcceptValue(key);
  char line[WS_LINE_MAX + 1];
  int counter = 0;
  bool checked = false;
  for (int lines = 0; counter <= 5; lines++) {
    int len = WsReadLine(conn, line, deadline);
    if (len < 0 || lines >= REQUEST_LINES_MAX) {
      LogSys(LOG_PRIO_ERR, "TCP read error 1 %d", len < 0 ? errno : E2BIG);
      return WsReply::ReadFailed;
    }
    if (!CompleteLine(line, len)) continue;
    CountLine(line, len, REPLY_PREFIXES, counter);
    if (!StartsWith(line, REPLY_KEY)) continue;
    std::string received = HeaderValue(line, REPLY_KEY);
    if (received != expected) {
      LogSys(LOG_PRIO_ERR, "keys not correct %s %s", expected.c_str(), received.c_str());
      return WsReply::WrongKey;
    }
    LogSys(LOG_PRIO_ERR, "keys correct %s %s", expected.c_str(), received.c_str());
    checked = true;
  }
  // A reply without an accept value proves nothing about the server.
  if (!checked) LogSys(LOG_PRIO_ERR, "keys not correct %s %s", expected.c_str(), "");
  return checked ? WsReply::Accepted : WsReply::WrongKey;
}
