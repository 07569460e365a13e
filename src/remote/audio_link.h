#pragma once
// Audio packets from the peer ("SO"), handed to playback.
#include <cstdint>

struct Works;

// Plays one packet of `n` bytes; false when playback failed in a way that
// ends the connection.
bool PlayAudioPacket(Works *works, const uint8_t *packet, uint32_t n);
