#pragma once
// Remote-operation slice of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "remote/audio_state.h"

struct OpusEncoder;
struct OpusDecoder;

// The longest password a text frame can carry (short form).
constexpr int REMOTE_PASSWORD_MAX = 125;
constexpr int STATUS_MSG_SIZE = 200;

struct RemoteState {
  std::atomic<uint16_t> TcpPort{0};
  // The connection's descriptor, -1 for none. Set and cleared only under
  // wsSendMutex by the thread that owns the connection.
  std::atomic<int32_t> wsSocket{-1};
  std::atomic<uint8_t> wsConnected{0};
  char password[REMOTE_PASSWORD_MAX + 1]{};
  bool privatePassword = false;  // the password came from the unit's own file
  char serverAddr[16]{};
  // The last status command from the peer ("ST"); the receiving thread only.
  char statusMsg[STATUS_MSG_SIZE]{};
  std::atomic<int32_t> screenQuality{0};  // JPEG quality of screen images sent; 0 raw
  std::atomic<int32_t> audioFrameSize{0};
  std::atomic<int32_t> audioChannels{0};
  std::atomic<int32_t> sampleRate{0};
  OpusEncoder *opusEncoder = nullptr;
  OpusDecoder *opusDecoder = nullptr;
  std::atomic<int32_t> AudioCompress{0};  // Opus bitrate; 0 = no compression
  std::atomic<int32_t> AudioBuffers{0};
  std::atomic<uint8_t> remoteFault{0};
  AudioState audio;
  std::mutex wsConnMutex;  // the WebSocket connection
  std::mutex wsSendMutex;  // held around every frame written to the peer
};
