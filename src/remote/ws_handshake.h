#pragma once
// The upgrade handshake of the remote link, both sides: the request the
// client sends and the server counts, the reply the server sends and the
// client checks, and the accept value that binds the two.
#include <cstdint>
#include <string>

#include "remote/ws_conn.h"

// Base64 of the SHA-1 of the key followed by the protocol's fixed suffix:
// always 28 characters.
std::string WsAcceptValue(const std::string &key);
// The client's key: Base64 of 16 random bytes, 24 characters.
std::string WsClientKey(const uint8_t random[16]);

// Server: reads the request until its header count is complete and takes
// the key; false when the request does not come in time or ends early.
bool WsReadUpgradeRequest(WsConn &conn, std::string &key);
bool WsSendUpgradeReply(WsConn &conn, const std::string &key);

// Client.
bool WsSendUpgradeRequest(WsConn &conn, const char *host, int port, const std::string &key);
enum class WsReply { Accepted, WrongKey, ReadFailed };
WsReply WsReadUpgradeReply(WsConn &conn, const std::string &key);
