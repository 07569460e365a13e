#include "remote/ws_frame.h"

#include <errno.h>

#include <cstring>

#include "core/log.h"

const WsReadTexts WS_SERVER_READ_TEXTS = {"1a", "2a", "6a"};
const WsReadTexts WS_CLIENT_READ_TEXTS = {"1A", "2A", "6A"};

namespace {
constexpr size_t HEAD = 4;

uint16_t GetBE16(const uint8_t *p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

void PutBE16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

bool ReadPart(const WsSource &source, WsFrame &frame, size_t n, bool frameStart, const char *text,
              const char *after) {
  if (n > 0 && !source.read(source.context, frame.bytes + frame.size, n, frameStart)) {
    int error = errno;
    LogSys(LOG_PRIO_INFO, "TCP read Error %s %d", text, error);
    LogSys(LOG_PRIO_INFO, "TCP read Error %s %d", after, error);
    return false;
  }
  frame.size += n;
  return true;
}

WsRead Malformed(const WsFrame &frame, uint64_t count) {
  LogSys(LOG_PRIO_ERR, "frame of a wrong length: byte 1 %d, count %llu", frame.bytes[1],
         static_cast<unsigned long long>(count));
  return WsRead::Malformed;
}

// The short and medium forms: how many bytes follow the first four.
WsRead ReadShortOrMedium(const WsSource &source, WsFrame &frame, const WsReadTexts &texts) {
  uint8_t len = frame.bytes[1];
  size_t rest = 0;
  const char *text = "3a";
  if (len < WS_MEDIUM) {
    bool isText = frame.bytes[0] & 1;
    frame.form = isText ? WsForm::ShortText : WsForm::ShortBinary;
    if (!isText && len < 2) return Malformed(frame, len);  // no room for the tag
    rest = isText ? len + 2u : len - 2u;
  } else {
    frame.form = WsForm::Medium;
    rest = GetBE16(frame.bytes + 2);
    text = "4a";
    if (rest < 2) return Malformed(frame, rest);
  }
  return ReadPart(source, frame, rest, false, text, texts.restAfter) ? WsRead::Frame
                                                                     : WsRead::Failed;
}

WsRead ReadLong(const WsSource &source, WsFrame &frame, const WsReadTexts &texts) {
  frame.form = WsForm::Long;
  if (!ReadPart(source, frame, 2, false, "1a", texts.restAfter)) return WsRead::Failed;
  uint32_t count = GetBE32(frame.bytes + 2);
  if (count < 2 || count > WS_FRAME_CAPACITY - HEAD) return Malformed(frame, count);
  return ReadPart(source, frame, count - 2, false, "5a", texts.restAfter) ? WsRead::Frame
                                                                          : WsRead::Failed;
}
}  // namespace

bool WsFrame::Is(WsForm f, const char *tag) const {
  if (!Binary() || form != f || (f != WsForm::ShortBinary && f != WsForm::Medium)) return false;
  const uint8_t *at = bytes + (f == WsForm::ShortBinary ? 2 : 4);
  return at[0] == tag[0] && at[1] == tag[1];
}

const uint8_t *WsFrame::Payload() const { return bytes + (form == WsForm::ShortBinary ? 4 : 6); }

size_t WsFrame::PayloadSize() const {
  size_t head = form == WsForm::ShortBinary ? 4 : 6;
  return size > head ? size - head : 0;
}

WsRead ReadWsFrame(const WsSource &source, WsFrame &frame, const WsReadTexts &texts) {
  frame.size = 0;
  if (!ReadPart(source, frame, HEAD, true, texts.first, texts.firstAfter)) return WsRead::Failed;
  if (frame.bytes[1] <= WS_MEDIUM) return ReadShortOrMedium(source, frame, texts);
  return ReadLong(source, frame, texts);
}

size_t BuildShortFrame(uint8_t *out, const char *tag, const void *data, size_t len) {
  out[0] = WS_BINARY;
  out[1] = static_cast<uint8_t>(len + 2);
  out[2] = static_cast<uint8_t>(tag[0]);
  out[3] = static_cast<uint8_t>(tag[1]);
  memcpy(out + 4, data, len);
  return len + 4;
}

size_t BuildChunkFrame(uint8_t *out, const char *tag, const uint8_t *data, uint32_t total,
                       uint32_t offset) {
  out[0] = WS_BINARY;
  out[1] = WS_MEDIUM;
  PutBE16(out + 2, WS_CHUNK_COUNT);
  out[4] = static_cast<uint8_t>(tag[0]);
  out[5] = static_cast<uint8_t>(tag[1]);
  PutBE32(out + 6, total);
  PutBE32(out + 10, offset);
  size_t n = total - offset < WS_CHUNK_DATA ? total - offset : WS_CHUNK_DATA;
  memcpy(out + 14, data + offset, n);
  memset(out + 14 + n, 0, WS_CHUNK_DATA - n);
  return WS_CHUNK_FRAME;
}

size_t BuildAudioHeader(uint8_t *out, uint32_t n) {
  out[0] = WS_BINARY;
  out[1] = WS_MEDIUM;
  PutBE16(out + 2, static_cast<uint16_t>(n + 6));
  out[4] = 'S';
  out[5] = 'O';
  PutBE32(out + 6, n);
  return WS_AUDIO_HEADER;
}

size_t BuildTextFrame(uint8_t *out, const char *text, size_t len) {
  out[0] = WS_TEXT;
  out[1] = static_cast<uint8_t>(len);
  memset(out + 2, 0, 4);
  memcpy(out + 6, text, len);
  return len + 6;
}

uint32_t GetBE32(const uint8_t *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PutBE32(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
