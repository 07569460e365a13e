#include "remote/ws_messages.h"

#include <errno.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/serial_port.h"
#include "remote/audio_link.h"
#include "remote/remote_password.h"
#include "remote/status_commands.h"
#include "settings/setup_record.h"
#include "transceiver/cat_relay.h"
#include "transceiver/tavo_params.h"

namespace {
constexpr size_t WRITE_BUFFER = 200;

bool Server(const WsSession &session) { return session.role == WsRole::Server; }

void Announce(const char *name) {
  LogSys(LOG_PRIO_INFO, "%s", name);
  LogErr("%s\n", name);
}

// The payload to a serial port; a closed port drops it.
enum class PortWrite { Written, NoPort, Failed };
PortWrite WriteToPort(int fd, const uint8_t *data, size_t len, const char *port) {
  if (fd < 0) {
    LogSys(LOG_PRIO_ERR, "%s port closed: %zu bytes from the peer dropped", port, len);
    return PortWrite::NoPort;
  }
  uint8_t buffer[WRITE_BUFFER] = {};
  memcpy(buffer, data, len);
  return SerialWriteAll(fd, buffer, len) ? PortWrite::Written : PortWrite::Failed;
}

WsAction PortFailed(const char *text) {
  LogSys(LOG_PRIO_INFO, "TCP read Error %s %d", text, errno);
  return WsAction::End;
}

WsAction CatText(Works *works, const WsSession &session, const WsFrame &frame) {
  PortWrite result;
  {
    // The relay owns the port and may be closing it right now.
    std::lock_guard<std::mutex> lock(works->trx.catPortMutex);
    result = WriteToPort(works->trx.catFD, frame.Payload(), frame.PayloadSize(), "CAT");
  }
  if (result != PortWrite::Failed || !Server(session)) return WsAction::Keep;
  PortFailed("7a");
  ExitCAT(works);
  return WsAction::End;
}

WsAction StatusCommand(Works *works, const WsFrame &frame) {
  RemoteState &r = works->remote;
  memset(r.statusMsg, 0, sizeof r.statusMsg);
  memcpy(r.statusMsg, frame.Payload(), frame.PayloadSize());
  dispStat(works);
  return WsAction::Keep;
}

WsAction ExtIoBytes(Works *works, const WsFrame &frame, const char *failText) {
  PortWrite result =
      WriteToPort(works->trx.serFD, frame.Payload(), frame.PayloadSize(), "extended-IO");
  return result == PortWrite::Failed ? PortFailed(failText) : WsAction::Keep;
}

WsAction Parameters(Works *works, const WsSession &session, const WsFrame &frame) {
  int len = static_cast<int>(frame.PayloadSize());
  if (Server(session)) {
    LogErr("S BUFFER WEB SERVER : %.*s\n", len, reinterpret_cast<const char *>(frame.Payload()));
    return ExtIoBytes(works, frame, "8a");
  }
  storeParameters(works, len, frame.Payload());
  return WsAction::Keep;
}

WsAction Audio(Works *works, const WsSession &session, const WsFrame &frame) {
  size_t len = frame.PayloadSize();
  uint32_t n = len >= 4 ? GetBE32(frame.Payload()) : 0;
  if (len < 4 || n > len - 4) {
    LogSys(LOG_PRIO_ERR, "audio packet of %u bytes in a frame of %zu dropped", n, len);
    return WsAction::Keep;
  }
  if (!Server(session) && ReadSetupFlag(works->cfg.setup->EnableWrite) != '1')
    return WsAction::Keep;
  return PlayAudioPacket(works, frame.Payload() + 4, n) || Server(session) ? WsAction::Keep
                                                                           : WsAction::End;
}

void AcceptPassword(Works *works, WsSession &session, const std::string &received) {
  std::string shown = ShownPassword(works);
  LogSys(LOG_PRIO_INFO, "required >%s< equals to >%s<", shown.c_str(),
         works->remote.privatePassword ? shown.c_str() : received.c_str());
  {
    std::lock_guard<std::mutex> lock(works->remote.wsConnMutex);
    works->remote.wsConnected = 1;
    fputs("connected\n", stdout);
    fflush(stdout);
    SleepMillis(1);
  }
  session.authenticated = true;
  LogSys(LOG_PRIO_INFO, "Receiving data");
}

WsAction Text(Works *works, WsSession &session, const WsFrame &frame) {
  int declared = frame.bytes[1] & 0x7F;
  int read = static_cast<int>(frame.size) - 6;
  if (declared != read) {
    LogSys(LOG_PRIO_ERR, "wrong message length: is %d instead of %d", declared, read);
    works->remote.wsConnected = 0;
    return WsAction::End;
  }
  std::string text(frame.bytes + 6, frame.bytes + frame.size);
  for (size_t i = 0; i < text.size(); i++) text[i] ^= static_cast<char>(frame.bytes[2 + i % 4]);
  if (!session.passwordNext) return WsAction::Keep;  // "XY" and the like: no effect
  session.passwordNext = false;
  if (RemotePasswordMatches(works, text.data(), text.size())) {
    AcceptPassword(works, session, text);
    return WsAction::Keep;
  }
  LogSys(LOG_PRIO_ERR, "required >%s< differ from >%s<", ShownPassword(works).c_str(),
         text.c_str());
  session.wrongPassword = true;
  return WsAction::End;
}

WsAction WrongType(const WsFrame &frame) {
  LogSys(LOG_PRIO_ERR, "wrong message type: %x", frame.bytes[0]);
  return WsAction::Keep;
}

enum class Message { Cat, Status, ExtIo, Spectrum, Parameters, Screen, Audio };

struct MessageKind {
  WsForm form;
  const char *tag;
  Message message;
  const char *name;  // logged by the server; null: logged where it is handled
};

const MessageKind MESSAGES[] = {
    {WsForm::ShortBinary, "CA", Message::Cat, "EIK, CA"},
    {WsForm::ShortBinary, "ST", Message::Status, "EIK, ST"},
    {WsForm::ShortBinary, "SC", Message::ExtIo, "EIK, SC"},
    {WsForm::ShortBinary, "PA", Message::Parameters, "EIK, PA"},
    {WsForm::Medium, "SP", Message::Spectrum, nullptr},
    {WsForm::Medium, "FB", Message::Screen, "EIK, FB"},
    {WsForm::Medium, "SO", Message::Audio, nullptr},
};

const MessageKind *KindOf(const WsFrame &frame) {
  for (const MessageKind &kind : MESSAGES)
    if (frame.Is(kind.form, kind.tag)) return &kind;
  return nullptr;
}

WsAction Binary(Works *works, WsSession &session, const WsFrame &frame, const MessageKind &kind) {
  if (Server(session) && kind.name) Announce(kind.name);
  switch (kind.message) {
    case Message::Cat:
      return CatText(works, session, frame);
    case Message::Status:
      return StatusCommand(works, frame);
    case Message::ExtIo:  // bytes for the extended-IO port, which only the server takes
      return Server(session) ? ExtIoBytes(works, frame, "7a") : WrongType(frame);
    case Message::Parameters:
      return Parameters(works, session, frame);
    case Message::Screen:
      TakeScreenChunk(works, session.screen, frame.Payload(), frame.PayloadSize());
      return WsAction::Keep;
    case Message::Audio:
      return Audio(works, session, frame);
    case Message::Spectrum:
      break;
  }
  return WsAction::Keep;
}
}  // namespace

WsAction HandleWsFrame(Works *works, WsSession &session, const WsFrame &frame) {
  if (frame.Text()) {
    if (Server(session)) return Text(works, session, frame);
    if (frame.bytes[1] == WS_MEDIUM) return WsAction::Keep;
    return WrongType(frame);
  }
  const MessageKind *kind = KindOf(frame);
  if (!kind) return WrongType(frame);
  if (!session.authenticated) {
    LogSys(LOG_PRIO_ERR, "%c%c message before the password: dropped", kind->tag[0], kind->tag[1]);
    return WsAction::Keep;
  }
  return Binary(works, session, frame, *kind);
}
