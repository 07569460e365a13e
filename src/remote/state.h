#pragma once
// Remote-operation slice of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

struct OpusEncoder;
struct OpusDecoder;

struct RemoteState {
  std::atomic<uint16_t> TcpPort{0};
  std::atomic<int32_t> wsSocket{0};
  std::atomic<uint8_t> wsConnected{0};
  char password[13]{};
  char serverAddr[16]{};
  std::atomic<int32_t> audioFrameSize{0};
  std::atomic<int32_t> audioChannels{0};
  std::atomic<int32_t> sampleRate{0};
  OpusEncoder *opusEncoder = nullptr;
  OpusDecoder *opusDecoder = nullptr;
  std::atomic<int32_t> AudioCompress{0};  // Opus bitrate; 0 = no compression
  std::atomic<int32_t> AudioBuffers{0};
  std::atomic<uint8_t> remoteFault{0};
  std::mutex wsConnMutex;  // the WebSocket connection
  std::mutex wsSendMutex;  // held around every frame written to the peer
};
