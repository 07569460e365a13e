#pragma once
// The companion receiver's IQ stream on USB: set-up by vendor requests, four
// bulk transfers kept in flight, scaling of each completed transfer and, one
// transfer in `Divide`, a spectrum line for the peer.
#include <cstdint>

struct Works;

// The receiver family's other two models, which this unit does not support.
constexpr uint16_t RECEIVER_M1_PRODUCT = 0x4b50;
constexpr uint16_t RECEIVER_M2_PRODUCT = 0x4b51;

constexpr unsigned char RECEIVER_BULK_IN = 0x86;
constexpr int RECEIVER_TRANSFER_BYTES = 32768;  // 4096 I/Q pairs of 32-bit samples
constexpr int RECEIVER_TRANSFERS = 4;
constexpr uint8_t RECEIVER_REQUEST_TYPE = 0xC0;  // vendor request, device to host
// Vendor requests and their values.
constexpr uint8_t REQ_DRIVER_VERSION = 0xFF;
constexpr uint8_t REQ_READ = 0xA2;
constexpr uint8_t REQ_FIFO = 0xE1;
constexpr uint16_t READ_INDEX = 0x0151;
constexpr uint16_t READ_HW_VERSION = 0x404C;
constexpr uint16_t READ_SERIAL = 0x4000;
constexpr uint16_t READ_GLOBAL_OFFSET = 0x4028;
constexpr uint16_t READ_LP_OFFSET = 0x402C;
constexpr uint16_t READ_ATT_OFFSET = 0x4030;
constexpr uint16_t FIFO_SYN = 0xE900;  // value 0 stops the FIFO, 1 enables SYN
constexpr uint16_t FIFO_INIT = 0xE800;
constexpr uint8_t SYN_REPLY = 0xE9;
constexpr int RECEIVER_SERIAL_BYTES = 32;

// The stream thread; runs while `EnableFFT` is '1' and ends through
// ExitTAVOread, having released the receiver.
void TAVORead(Works *works);
// The stream has ended: error 5, `EnableFFT` '0', the remote fault raised.
void ExitTAVOread(Works *works);

// Attached C-Media USB audio devices, by the device list (each line printed).
int Get_AudioTAVO(Works *works);
