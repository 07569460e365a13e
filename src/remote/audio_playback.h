#pragma once
// Audio playback of the peer's "SO" packets: the playback thread opens and
// sets up the device (`AudioOut`) for each connection and watches the USB
// audio codec; the receiving thread plays the packets (audio_link.h).
struct Works;

// The playback thread; runs while `EnableWrite` is '1'.
void th_scrivi(Works *works);
// Playback has failed: error 10, the device closed, `EnableWrite` '0', the
// remote fault raised.
void ExitAUDIOwrite(Works *works);
