#include "tests/support/chunked_message.h"

#include <algorithm>

namespace {
constexpr size_t CHUNK_DATA = 512;

uint32_t Be32(const std::vector<uint8_t> &p, size_t at) {
  return uint32_t(p[at]) << 24 | uint32_t(p[at + 1]) << 16 | uint32_t(p[at + 2]) << 8 | p[at + 3];
}
}  // namespace

std::vector<uint8_t> ReadChunkedMessage(WsPeer &peer, const std::string &tag, double seconds) {
  PeerFrame f;
  std::vector<uint8_t> message;
  while (peer.ReadTagged(tag, f, seconds)) {
    if (f.payload.size() < 8 + CHUNK_DATA) continue;
    uint32_t total = Be32(f.payload, 0), offset = Be32(f.payload, 4);
    if (offset == 0) message.assign(total, 0);
    if (message.size() != total || offset >= total) continue;
    size_t n = std::min<size_t>(CHUNK_DATA, total - offset);
    std::copy_n(f.payload.begin() + 8, n, message.begin() + offset);
    if (offset + n == total) return message;
  }
  return {};
}
