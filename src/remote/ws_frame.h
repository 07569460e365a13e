#pragma once
// The frame layout both ends of the remote link share: byte 0 says text or
// binary, byte 1 the length form (short, medium with a 16-bit count, long
// with a 32-bit count); binary frames carry a two-character tag. The mask bit
// is never set; text frames carry a masking key all the same.
#include <cstddef>
#include <cstdint>

constexpr uint8_t WS_TEXT = 0x81;
constexpr uint8_t WS_BINARY = 0x82;
constexpr uint8_t WS_MEDIUM = 126;  // byte 1 of the medium form
constexpr uint8_t WS_LONG = 127;    // byte 1 of the long form
constexpr size_t WS_SHORT_PAYLOAD_MAX = 123;
constexpr size_t WS_TEXT_MAX = 125;
constexpr size_t WS_CHUNK_DATA = 512;
constexpr size_t WS_CHUNK_COUNT = 522;  // the medium count of every chunk
constexpr size_t WS_CHUNK_FRAME = 526;
constexpr size_t WS_AUDIO_HEADER = 10;
// Nothing a peer may send is longer than the longest medium frame.
constexpr size_t WS_FRAME_CAPACITY = 4 + 65535;

enum class WsForm { ShortBinary, ShortText, Medium, Long };

struct WsFrame {
  uint8_t bytes[WS_FRAME_CAPACITY];
  size_t size = 0;  // bytes of the frame, all read
  WsForm form = WsForm::ShortBinary;

  bool Binary() const { return bytes[0] == WS_BINARY; }
  bool Text() const { return bytes[0] == WS_TEXT; }
  // True for a binary frame of `form` carrying `tag`.
  bool Is(WsForm f, const char *tag) const;
  // The bytes behind the tag (short binary, medium) or the masking key
  // (short text).
  const uint8_t *Payload() const;
  size_t PayloadSize() const;
};

// Reads exactly `n` bytes; false when they do not come (end of the stream,
// error, time-out or stop). `frameStart` marks the first read of a frame,
// which may wait longer than the rest.
struct WsSource {
  bool (*read)(void *context, uint8_t *buf, size_t n, bool frameStart);
  void *context;
};

// The log texts of a failed read, which differ between the two ends.
struct WsReadTexts {
  const char *first;       // first four bytes
  const char *firstAfter;  // second line after them
  const char *restAfter;   // second line after the rest
};
extern const WsReadTexts WS_SERVER_READ_TEXTS, WS_CLIENT_READ_TEXTS;

enum class WsRead {
  Frame,      // a whole frame is in `frame`
  Failed,     // the bytes did not come (logged)
  Malformed,  // a length no peer may send: the stream cannot be followed (logged)
};

// Reads one frame. Every count is checked against the capacity before a byte
// of the rest is read.
WsRead ReadWsFrame(const WsSource &source, WsFrame &frame, const WsReadTexts &texts);

// Frame builders; each returns the frame's size.
size_t BuildShortFrame(uint8_t *out, const char *tag, const void *data, size_t len);
// A 526-byte chunk of `total` data bytes from `offset`; `data` points at the
// whole data. The part beyond `total` is zero.
size_t BuildChunkFrame(uint8_t *out, const char *tag, const uint8_t *data, uint32_t total,
                       uint32_t offset);
// The ten bytes in front of an audio packet of `n` bytes.
size_t BuildAudioHeader(uint8_t *out, uint32_t n);
// A text frame behind the zero masking key; `len` at most WS_TEXT_MAX.
size_t BuildTextFrame(uint8_t *out, const char *text, size_t len);

uint32_t GetBE32(const uint8_t *p);
void PutBE32(uint8_t *p, uint32_t v);
