#pragma once
// Whether remote operation can start: the companion receiver on USB, the
// companion transceiver's CAT port answering, the USB audio codec present.
#include <cstdint>

struct Works;

// The companion receiver's USB identity.
constexpr uint16_t RECEIVER_USB_VENDOR = 0x1209;
constexpr uint16_t RECEIVER_USB_PRODUCT = 0x4b52;
// The companion transceiver's USB audio codec.
constexpr uint16_t AUDIO_CODEC_VENDOR = 0x0d8c;
constexpr uint16_t AUDIO_CODEC_PRODUCT = 0x01af;

// 0 ready, 1 receiver not on USB, 2 CAT port not found, 3 no audio codec.
// The CAT port is closed again after the check: the relay opens its own.
int Find_Remote_Settings(Works *works);

// Attached C-Media USB audio codecs (0d8c:01af); 0 when the check cannot run.
int VerifyAudioTAVO(Works *works);

// Whether the companion receiver is attached.
bool ReceiverOnUsb();
