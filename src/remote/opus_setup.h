#pragma once
struct Works;

// Creates the Opus encoder and decoder when compression is on; any failure
// switches compression off.
void SetupOpus(Works *works);
void ReleaseOpus(Works *works);
