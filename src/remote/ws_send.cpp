#include "remote/ws_send.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "amplifier/status_summary.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "remote/ws_conn.h"
#include "remote/ws_frame.h"

namespace {
constexpr int SEND_PAUSE_US = 10;

bool Connected(Works *works) { return works && works->remote.wsConnected; }

bool SendShort(Works *works, const char *tag, const void *data, size_t len) {
  uint8_t frame[WS_SHORT_PAYLOAD_MAX + 4];
  return WsSendFrame(works, frame, BuildShortFrame(frame, tag, data, len));
}

// A stream of bytes in as many short frames as it needs.
void SendStream(Works *works, const char *tag, const uint8_t *data, int len) {
  for (int at = 0; at < len && Connected(works); at += WS_SHORT_PAYLOAD_MAX)
    SendShort(works, tag, data + at, std::min<size_t>(WS_SHORT_PAYLOAD_MAX, len - at));
}

void SendRecord(Works *works, const char *tag, const void *data, int len) {
  if (len < 0) return;
  if (size_t(len) > WS_SHORT_PAYLOAD_MAX) {
    LogSys(LOG_PRIO_ERR, "%c%c message of %d bytes cut to %d", tag[0], tag[1], len,
           int(WS_SHORT_PAYLOAD_MAX));
    len = WS_SHORT_PAYLOAD_MAX;
  }
  SendShort(works, tag, data, size_t(len));
}
}  // namespace

bool WsSendFrame(Works *works, const uint8_t *frame, size_t len) {
  if (!Connected(works)) return false;
  SleepMicros(SEND_PAUSE_US);
  RemoteState &r = works->remote;
  std::lock_guard<std::mutex> lock(r.wsSendMutex);
  int fd = r.wsSocket;
  if (!r.wsConnected || fd < 0) return false;
  if (WsSendAll(fd, frame, len)) return true;
  // The peer is gone or stopped reading: the owner's read wakes and ends it.
  LogSys(LOG_PRIO_ERR, "send to the peer failed, connection ended");
  r.wsConnected = 0;
  shutdown(fd, SHUT_RDWR);
  return false;
}

void sendWebSockCatFrame(Works *works, const char *text, int len) {
  SendStream(works, "CA", reinterpret_cast<const uint8_t *>(text), len);
}

void sendWebSockStatusFrame(Works *works, const char *data, int len) {
  if (Connected(works)) SendRecord(works, "ST", data, len);
}

void sendWebSockSerParFrame(Works *works, const uint8_t *data, int len) {
  if (Connected(works)) SendRecord(works, "PA", data, len);
}

void sendWebSockSerFrame(Works *works, const uint8_t *data, int len) {
  SendStream(works, "SC", data, len);
}

bool SendChunks(Works *works, const char *tag, const uint8_t *data, uint32_t total) {
  uint8_t frame[WS_CHUNK_FRAME];
  for (uint32_t offset = 0; offset < total; offset += WS_CHUNK_DATA) {
    BuildChunkFrame(frame, tag, data, total, offset);
    if (!WsSendFrame(works, frame, sizeof frame)) return false;
  }
  return true;
}

void sendWebSockSerSpectrFrame(Works *works, const uint8_t *data, int len) {
  if (Connected(works) && len > 0) SendChunks(works, "SP", data, uint32_t(len));
}

void sendWebSockEventFrame(Works *works, int x, int y) {
  char text[16];
  int len = snprintf(text, sizeof text, "XY%05d%05d", x, y);
  uint8_t frame[WS_TEXT_MAX + 6];
  if (len > 0 && size_t(len) < sizeof text)
    WsSendFrame(works, frame, BuildTextFrame(frame, text, size_t(len)));
}

bool SendAudioPacket(Works *works, const uint8_t *packet, uint32_t n) {
  if (!Connected(works) || n == 0 || n + 6 > 0xFFFF) return false;
  std::vector<uint8_t> frame(WS_AUDIO_HEADER + n);
  BuildAudioHeader(frame.data(), n);
  std::copy(packet, packet + n, frame.begin() + WS_AUDIO_HEADER);
  return WsSendFrame(works, frame.data(), frame.size());
}

void SendPeerStatus(Works *works) {
  if (!Connected(works)) return;
  char summary[STATUS_SUMMARY_LEN + 1];
  CreaBufferDiStato(works, summary);
  sendWebSockStatusFrame(works, summary, STATUS_SUMMARY_SENT);
}
