#pragma once
// What each end of the remote link does with a frame from its peer. The
// server acts on binary messages only once the peer's password has been
// accepted on the connection; the client trusts the server it chose.
#include "remote/screen_frames.h"
#include "remote/ws_frame.h"

struct Works;

enum class WsRole { Server, Client };

// One connection's state, owned by the thread that reads it.
struct WsSession {
  explicit WsSession(WsRole r) : role(r), authenticated(r == WsRole::Client) {}
  WsRole role;
  bool authenticated;        // binary messages are acted on
  bool passwordNext = true;  // server: the next text message is the password
  bool wrongPassword = false;
  ScreenAssembly screen;
};

enum class WsAction { Keep, End };

WsAction HandleWsFrame(Works *works, WsSession &session, const WsFrame &frame);
