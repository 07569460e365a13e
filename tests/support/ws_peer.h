#pragma once
// A remote-link peer for the tests, written from the protocol's description
// and not from the unit's own frame code: it speaks byte by byte, can send
// any bytes at all, and reads what the unit sends.
#include <cstdint>
#include <string>
#include <vector>

// A TCP port of the loopback interface that nobody listens on right now.
int FreeLoopbackPort();

// Base64(SHA-1(key + the protocol's fixed text)), computed here on its own.
std::string ExpectedAccept(const std::string &key);

struct PeerFrame {
  std::vector<uint8_t> bytes;    // the whole frame
  std::string tag;               // binary frames: the two tag characters
  std::vector<uint8_t> payload;  // behind the tag (or the masking key)
};

// Frame bytes as a unit sends them.
std::vector<uint8_t> ShortBinary(const std::string &tag, const std::string &payload);
std::vector<uint8_t> TextFrame(const std::string &text);
// "FB" chunks of an image of `image.size()` bytes.
std::vector<std::vector<uint8_t>> ScreenChunks(const std::vector<uint8_t> &image);

// A JPEG of 4-byte pixels taken as R G B X, from the independent library.
std::vector<uint8_t> JpegOfPixels(const std::vector<uint8_t> &pixels, int width, int height,
                                  int quality = 90);
// The first bytes of a JPEG that declares `width` × `height` (no image data).
std::vector<uint8_t> JpegHeaderOnly(int width, int height);

class WsPeer {
 public:
  WsPeer() = default;
  ~WsPeer();
  WsPeer(const WsPeer &) = delete;
  WsPeer &operator=(const WsPeer &) = delete;

  // Connects to the loopback port, trying for up to `seconds`.
  bool Connect(int port, double seconds = 10);
  // Sends the upgrade request with `key` and reads the reply up to its empty
  // line; the reply's text ("" when none came).
  std::string Upgrade(const std::string &key = "dGhlIHNhbXBsZSBub25jZQ==");
  // The accept value of a reply.
  static std::string AcceptOf(const std::string &reply);
  bool SendPassword(const std::string &password = "lumarondesta");
  // Connect, upgrade and password in one.
  bool Join(int port, double seconds = 10);

  bool Send(const std::vector<uint8_t> &bytes);
  bool Send(const std::string &bytes) {
    return Send(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }

  // The next frame within `seconds`; false when none came or the unit closed.
  bool Read(PeerFrame &frame, double seconds = 5);
  // Reads frames until one with `tag` comes (others are skipped).
  bool ReadTagged(const std::string &tag, PeerFrame &frame, double seconds = 10);
  // True when the unit closed the connection within `seconds`.
  bool ClosedByUnit(double seconds = 5);
  void Close();
  void Adopt(int fd);

 private:
  friend class PeerServer;
  bool ReadBytes(uint8_t *out, size_t n, double seconds);
  int fd_ = -1;
};

// A listening end for testing the unit's client: it answers each upgrade
// request with the right accept value or with one of its own choosing.
class PeerServer {
 public:
  PeerServer();
  ~PeerServer();
  PeerServer(const PeerServer &) = delete;
  PeerServer &operator=(const PeerServer &) = delete;
  int Port() const { return port_; }
  // Takes the next connection within `seconds` and reads the unit's request
  // (its key into `key`).
  bool TakeRequest(WsPeer &client, std::string &key, double seconds);
  // The upgrade reply; `accept` "" sends the right value.
  static bool Answer(WsPeer &client, const std::string &key, const std::string &accept = "");
  bool Accept(WsPeer &client, std::string &key, double seconds, const std::string &accept = "") {
    return TakeRequest(client, key, seconds) && Answer(client, key, accept);
  }

 private:
  int listener_ = -1, port_ = 0;
};
