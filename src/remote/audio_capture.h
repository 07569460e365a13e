#pragma once
// Audio capture for the peer: periods of P stereo frames from the capture
// device (`AudioIn`), each sent as an "SO" message, Opus-compressed when
// `AudioCompress` is non-zero.
#include <cstdint>

struct Works;

// The capture thread; runs while `EnableRead` is '1'.
void th_leggi(Works *works);
// The capture has failed: error 9, the device closed, `EnableRead` '0', the
// remote fault raised.
void ExitAUDIOread(Works *works);

// P, the frames of one period, made valid for the buffers and the codec
// (the setting is corrected once, with a log line).
int AudioPeriod(Works *works);

// One period of P interleaved stereo frames to the peer.
void sendWebSockAudioFrame(Works *works, const int16_t *pcm);
