#pragma once
// A chunked message ("SP", "FB") as a peer puts it together: each chunk
// carries the total size and its offset.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ws_peer.h"

// The next whole message with `tag` (chunks of other messages and other
// frames skipped); empty when none came within `seconds`.
std::vector<uint8_t> ReadChunkedMessage(WsPeer &peer, const std::string &tag, double seconds);
