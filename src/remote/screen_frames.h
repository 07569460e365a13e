#pragma once
// Screen images between the units: a unit's screen goes out as "FB" chunks,
// raw or as a JPEG; chunks from the peer are put together in a buffer of
// their own, and a complete image becomes the background and is shown.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Works;

// JPEG of the frame buffer's work image into `out` (capacity memSize);
// false (size 0) when the encoder fails.
bool Compress(Works *works, uint8_t *out, int &size);
// Decodes a JPEG of the screen's own size into the work image; the work
// image is left as it was when the JPEG is of another size or broken. The
// size is read from the JPEG's header before anything is decoded.
bool Uncompress(Works *works, const uint8_t *jpeg, size_t size);

// Width and height from the frame header of a JPEG; false when none is found
// within `size` bytes.
bool JpegDimensions(const uint8_t *jpeg, size_t size, int &width, int &height);

// The screen as "FB" chunks; only at the server end (no part of the unit
// calls it: screen images are sent on request of a later feature).
void sendWebSockFbFrame();

struct ScreenAssembly {
  std::vector<uint8_t> image;  // memSize bytes once the first chunk came
  uint32_t total = 0;          // size of the image being put together; 0 none
  uint32_t next = 0;           // offset of the chunk expected next
};

// One "FB" chunk (the payload behind the tag: size, offset, 512 bytes).
// Chunks out of order, of another image or beyond the screen are dropped.
void TakeScreenChunk(Works *works, ScreenAssembly &assembly, const uint8_t *payload, size_t len);
