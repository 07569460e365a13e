#pragma once
// Every message a unit sends its peer: each sender frames one payload and
// writes it under the send mutex, and sends nothing while no peer is
// connected. A send that fails or times out ends the connection (its owner
// notices and cycles) instead of stalling the sending thread.
#include <cstddef>
#include <cstdint>

struct Works;

// One whole frame; false when nothing or not all of it went out.
bool WsSendFrame(Works *works, const uint8_t *frame, size_t len);

// Short messages. CAT text and extended-IO bytes are streams: longer ones go
// in several frames. A status or parameter record is cut to the short form.
void sendWebSockCatFrame(Works *works, const char *text, int len);
void sendWebSockStatusFrame(Works *works, const char *data, int len);
void sendWebSockSerParFrame(Works *works, const uint8_t *data, int len);
void sendWebSockSerFrame(Works *works, const uint8_t *data, int len);

// Chunked: a spectrum line as "SP" frames.
void sendWebSockSerSpectrFrame(Works *works, const uint8_t *data, int len);
// `total` bytes of `data` as 526-byte chunks; stops at the first failed chunk.
bool SendChunks(Works *works, const char *tag, const uint8_t *data, uint32_t total);

// An event position as an "XY" text frame.
void sendWebSockEventFrame(Works *works, int x, int y);

// One audio packet as an "SO" frame.
bool SendAudioPacket(Works *works, const uint8_t *packet, uint32_t n);

// The status summary to the peer, once per timer pass while connected.
void SendPeerStatus(Works *works);
