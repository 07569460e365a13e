#include "tests/support/ws_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/sha.h>
#include <poll.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <random>

namespace {
const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Here(const uint8_t *data, size_t len) {
  std::string out;
  for (size_t i = 0; i < len; i += 3) {
    uint32_t group = uint32_t(data[i]) << 16;
    if (i + 1 < len) group |= uint32_t(data[i + 1]) << 8;
    if (i + 2 < len) group |= data[i + 2];
    out += ALPHABET[(group >> 18) & 63];
    out += ALPHABET[(group >> 12) & 63];
    out += i + 1 < len ? ALPHABET[(group >> 6) & 63] : '=';
    out += i + 2 < len ? ALPHABET[group & 63] : '=';
  }
  return out;
}

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  return addr;
}

void Put32(std::vector<uint8_t> &out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
}  // namespace

// Many test processes pick ports at once, and a port the kernel hands out
// for bind(0) may be handed out again the moment it is released. A random
// port below the ephemeral range can neither be chosen by another process
// the same way nor be taken by an outgoing connection.
int FreeLoopbackPort() {
  constexpr int FIRST = 20000, COUNT = 12000, TRIES = 100;
  std::random_device seed;
  std::uniform_int_distribution<int> pick(FIRST, FIRST + COUNT - 1);
  for (int i = 0; i < TRIES; i++) {
    int port = pick(seed);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = Loopback(port);
    bool free = bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    close(fd);
    if (free) return port;
  }
  return 0;
}

std::string ExpectedAccept(const std::string &key) {
  std::string text = key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
  uint8_t digest[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const uint8_t *>(text.data()), text.size(), digest);
  return Base64Here(digest, sizeof digest);
}

std::vector<uint8_t> ShortBinary(const std::string &tag, const std::string &payload) {
  std::vector<uint8_t> out{0x82, static_cast<uint8_t>(payload.size() + 2)};
  out.insert(out.end(), tag.begin(), tag.end());
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

std::vector<uint8_t> TextFrame(const std::string &text) {
  std::vector<uint8_t> out{0x81, static_cast<uint8_t>(text.size()), 0, 0, 0, 0};
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

std::vector<std::vector<uint8_t>> ScreenChunks(const std::vector<uint8_t> &image) {
  std::vector<std::vector<uint8_t>> chunks;
  for (size_t offset = 0; offset < image.size(); offset += 512) {
    std::vector<uint8_t> c{0x82, 126, 0x02, 0x0A, 'F', 'B'};
    Put32(c, static_cast<uint32_t>(image.size()));
    Put32(c, static_cast<uint32_t>(offset));
    for (size_t i = 0; i < 512; i++) c.push_back(offset + i < image.size() ? image[offset + i] : 0);
    chunks.push_back(c);
  }
  return chunks;
}

std::vector<uint8_t> JpegOfPixels(const std::vector<uint8_t> &pixels, int width, int height,
                                  int quality) {
  tjhandle handle = tjInitCompress();
  unsigned char *out = nullptr;
  unsigned long size = 0;
  int rc = tjCompress2(handle, pixels.data(), width, 0, height, TJPF_RGBX, &out, &size, TJSAMP_420,
                       quality, 0);
  std::vector<uint8_t> jpeg;
  if (rc == 0) jpeg.assign(out, out + size);
  tjFree(out);
  tjDestroy(handle);
  return jpeg;
}

std::vector<uint8_t> JpegHeaderOnly(int width, int height) {
  return {0xFF,
          0xD8,
          0xFF,
          0xC0,
          0x00,
          0x11,
          0x08,
          uint8_t(height >> 8),
          uint8_t(height),
          uint8_t(width >> 8),
          uint8_t(width),
          0x03,
          1,
          0x22,
          0,
          2,
          0x11,
          1,
          3,
          0x11,
          1};
}

WsPeer::~WsPeer() { Close(); }

void WsPeer::Adopt(int fd) {
  Close();
  fd_ = fd;
}

void WsPeer::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool WsPeer::Connect(int port, double seconds) {
  Close();
  double end = Now() + seconds;
  sockaddr_in addr = Loopback(port);
  while (Now() < end) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) return true;
    Close();
    usleep(50000);
  }
  return false;
}

bool WsPeer::Send(const std::vector<uint8_t> &bytes) {
  size_t sent = 0;
  while (fd_ >= 0 && sent < bytes.size()) {
    ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool WsPeer::ReadBytes(uint8_t *out, size_t n, double seconds) {
  double end = Now() + seconds;
  size_t got = 0;
  while (got < n) {
    int left = static_cast<int>((end - Now()) * 1000);
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || left <= 0 || poll(&p, 1, left) <= 0) return false;
    ssize_t r = recv(fd_, out + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

std::string WsPeer::Upgrade(const std::string &key) {
  std::string request =
      "GET /chat HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
      "Connection: keep-alive, Upgrade\r\nSec-WebSocket-Key: " +
      key + "\r\nSec-WebSocket-Version: 13\r\n\r\n\r\n";
  if (!Send(request)) return "";
  std::string reply;
  uint8_t c;
  // A unit busy with another peer answers once that one has gone.
  while (reply.find("\r\n\r\n") == std::string::npos && ReadBytes(&c, 1, 30)) reply += char(c);
  return reply;
}

std::string WsPeer::AcceptOf(const std::string &reply) {
  const std::string name = "Sec-WebSocket-Accept: ";
  size_t at = reply.find(name);
  if (at == std::string::npos) return "";
  at += name.size();
  return reply.substr(at, reply.find("\r\n", at) - at);
}

bool WsPeer::SendPassword(const std::string &password) { return Send(TextFrame(password)); }

bool WsPeer::Join(int port, double seconds) {
  return Connect(port, seconds) && !Upgrade("x3JJHMbDL1EzLkh9GBhXDw==").empty() && SendPassword();
}

bool WsPeer::Read(PeerFrame &frame, double seconds) {
  uint8_t head[2];
  if (!ReadBytes(head, 2, seconds)) return false;
  frame.bytes.assign(head, head + 2);
  size_t rest = 0;
  if (head[1] == 126) {
    uint8_t count[2];
    if (!ReadBytes(count, 2, seconds)) return false;
    frame.bytes.insert(frame.bytes.end(), count, count + 2);
    rest = size_t(count[0]) << 8 | count[1];
  } else {
    rest = head[0] == 0x81 ? head[1] + 4u : head[1];
  }
  std::vector<uint8_t> body(rest);
  if (!ReadBytes(body.data(), rest, seconds)) return false;
  frame.bytes.insert(frame.bytes.end(), body.begin(), body.end());
  frame.tag.clear();
  frame.payload = body;
  if (head[0] == 0x82 && body.size() >= 2) {
    frame.tag = std::string(body.begin(), body.begin() + 2);
    frame.payload.assign(body.begin() + 2, body.end());
  }
  return true;
}

bool WsPeer::ReadTagged(const std::string &tag, PeerFrame &frame, double seconds) {
  double end = Now() + seconds;
  while (Now() < end)
    if (Read(frame, end - Now()) && frame.tag == tag) return true;
  return false;
}

bool WsPeer::ClosedByUnit(double seconds) {
  double end = Now() + seconds;
  uint8_t buf[4096];
  while (fd_ >= 0 && Now() < end) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    if (recv(fd_, buf, sizeof buf, 0) <= 0) return true;
  }
  return false;
}

PeerServer::PeerServer() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  if (bind(listener_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
      getsockname(listener_, reinterpret_cast<sockaddr *>(&addr), &len) == 0 &&
      listen(listener_, 4) == 0)
    port_ = ntohs(addr.sin_port);
}

PeerServer::~PeerServer() { close(listener_); }

bool PeerServer::TakeRequest(WsPeer &client, std::string &key, double seconds) {
  pollfd p{listener_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return false;
  client.Adopt(accept(listener_, nullptr, nullptr));
  // The unit's request ends with two empty lines.
  std::string request;
  uint8_t c;
  while (request.find("\r\n\r\n\r\n") == std::string::npos && client.ReadBytes(&c, 1, seconds))
    request += char(c);
  const std::string name = "Sec-WebSocket-Key: ";
  size_t at = request.find(name);
  if (at == std::string::npos) return false;
  at += name.size();
  key = request.substr(at, request.find("\r\n", at) - at);
  return true;
}

bool PeerServer::Answer(WsPeer &client, const std::string &key, const std::string &accept) {
  std::string value = accept.empty() ? ExpectedAccept(key) : accept;
  return client.Send(
      "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
      "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
      value + "\r\nSec-WebSocket-Protocol: chat\r\n\r\n");
}
