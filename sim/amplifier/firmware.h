#pragma once
// The amplifier microcontroller's protocol, without any I/O: CRC-framed
// commands in, CRC-framed replies out, acting on an AmpModel.
//
// Public API:
//   FrameSplitter       cuts the received byte stream into frames ("4dST;")
//   AmpFirmware fw;     fw.Model() is the physics behind it
//   fw.Reply(frame)     -> the framed reply ("XXST...;", CRC in upper case),
//                          the rejected form "XX?;" for a bad CRC, an unknown
//                          command or bad parameters (nothing is changed then)
//   RejectedReply(text) the rejected form for a command text
//
// Reply layouts (after the CRC digits), besides plain echoes of the command:
//   "VSM" + 7-character version + ";"
//   "ST" + statusA + statusB (one hex digit each) + input, forward, reflected,
//        current, temperature 1, temperature 2 (4 digits each) + statusC (low
//        nibble, then high nibble) + "00" + input peak (4 digits) + ";"
//   "FM" + frequency-sensor input digit + 11-digit frequency (0 without RF) + ";"
//   "TU%d;", "SA%d;" (1..3), "MT1%08X;", "AT%d%d;", "AB%d;", "AN%d;"
//   "SF30000%02x;", "GS" + 10 setting characters + ";", "MR0;" / "MR1;"
//   "ER000" + page + 32 bytes as 64 hex digits + ";" — page 2 starts with the
//        region byte '0' and the power-class byte ('0' 60 W, '1' 120 W)
#include <cstddef>
#include <string>

#include "sim/amplifier/amp_model.h"

// The firmware version reported by "VSM;" (7 characters).
constexpr const char *AMP_FIRMWARE_VERSION = "1.07.03";
// Frames longer than this without a ';' are line noise and are dropped.
constexpr size_t MAX_FRAME_BYTES = 64;

class FrameSplitter {
 public:
  // Adds one received byte; true when it completed a frame, now in `frame`.
  // Line ends before a frame are skipped.
  bool Push(char byte, std::string &frame);
  size_t DiscardedBytes() const { return discarded_; }

 private:
  std::string buffer_;
  size_t discarded_ = 0;
};

std::string RejectedReply(const std::string &text);

class AmpFirmware {
 public:
  explicit AmpFirmware(int powerClassW = 60) : model_(powerClassW) {}

  // Answers one frame: the two CRC digits (either case), the text, ';'.
  std::string Reply(const std::string &frame);
  // Carries out a command text ("ST;") and returns the reply text unframed;
  // the rejected form when it is not a valid command.
  std::string Execute(const std::string &text);

  AmpModel &Model() { return model_; }
  const AmpModel &Model() const { return model_; }

 private:
  AmpModel model_;
};

// True when the two digits in front of the text are its CRC (either case).
bool CommandCrcMatches(const std::string &frame);
