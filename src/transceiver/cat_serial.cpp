#include "transceiver/cat_serial.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "platform/serial_port.h"
#include "settings/setup_record.h"

std::atomic<int> catProcessStatus{0};
std::atomic<int> lastCommandSent{0};
std::atomic<int64_t> catLastWriteMicros{0};

namespace {
constexpr int STATUS_SEND = 3, STATUS_RECEIVE = 2, STATUS_DECODE = 1;
constexpr int READ_FREQ_MODE = 3;  // opcode of the frequency-and-mode request
constexpr int REPLY_TIMEOUT_MS = 1500;
constexpr int LINK_ERR_CAT = 2;

const uint8_t READ_FREQ_MODE_COMMAND[FT817_FRAME_BYTES] = {0x00, 0x00, 0x00, 0x00, 0x03};

bool PollerRunning(Works *works) {
  return ReadSetupFlag(works->cfg.setup->catSerialRun) == '1' && works->core.running != 0;
}

// `what` is "Unable to open device " or "Unable to set comm port ".
void FailPort(Works *works, const std::string &what) {
  const char *port = works->cfg.setup->CatSerialPort;
  LogSys(LOG_PRIO_ERR, "%s%s", what.c_str(), port);
  SetLinkError(works, "CAT: " + what + port);
  works->core.linkErrState = LINK_ERR_CAT;
}

int Bcd(uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

// Collects one byte of the reply; true when the reply is complete.
bool CollectReplyByte(Works *works, uint8_t *reply, int &index) {
  int fd = works->trx.catSerFD;
  if (SerialBytesWaiting(fd) <= 0) {
    // Decided right after an empty look, as the amplifier link does.
    if (MillisSince(catLastWriteMicros) < REPLY_TIMEOUT_MS) {
      SleepMillis(1);
      return false;
    }
    LogErr("<<<<<<<<<<<<<<<<<<<<TIMEOUT SERIAL CAT!!!!\n");
    index = 0;
    catProcessStatus = STATUS_SEND;
    SleepSeconds(1);
    return false;
  }
  uint8_t byte = 0;
  ssize_t r = read(fd, &byte, 1);
  if (r != 1) {
    LogSys(LOG_PRIO_ERR, "timeout %d\n", static_cast<int>(r));
    SleepMillis(20);
    return false;
  }
  reply[index++] = byte;
  if (index < FT817_FRAME_BYTES) return false;
  index = 0;
  return true;
}
}  // namespace

bool VerifyByteFreq(uint8_t byte) { return (byte & 0x0F) > 9 || byte >= 0xA0; }

bool writeSerialCatPort(int fd, const void *data, size_t len) {
  bool written = SerialWriteAll(fd, data, len);
  catLastWriteMicros = MonotonicMicros();
  return written;
}

void DecodeCatSerialCmd(Works *works, const uint8_t *reply, size_t len) {
  if (lastCommandSent == READ_FREQ_MODE && len >= FT817_FRAME_BYTES) {
    works->trx.catMode = reply[4];
    bool bcd = !VerifyByteFreq(reply[0]) && !VerifyByteFreq(reply[1]) &&
               !VerifyByteFreq(reply[2]) && !VerifyByteFreq(reply[3]);
    if (bcd) {
      works->trx.catFreq = Bcd(reply[0]) * 10000000 + Bcd(reply[1]) * 100000 +
                           Bcd(reply[2]) * 1000 + Bcd(reply[3]) * 10;
    } else {
      LogErr("CAT FT817 freq not decoded :  %02x %02x %02x %02x %02x\n", reply[0], reply[1],
             reply[2], reply[3], reply[4]);
    }
  }
  SleepMillis(20);
  lastCommandSent = 0;
}

void PollFt817(Works *works) {
  uint8_t reply[FT817_FRAME_BYTES] = {};
  int index = 0;
  lastCommandSent = 0;
  catProcessStatus = STATUS_SEND;
  while (PollerRunning(works)) {
    switch (catProcessStatus) {
      case STATUS_SEND:
        writeSerialCatPort(works->trx.catSerFD, READ_FREQ_MODE_COMMAND, FT817_FRAME_BYTES);
        lastCommandSent = READ_FREQ_MODE;
        catProcessStatus = STATUS_RECEIVE;
        break;
      case STATUS_RECEIVE:
        if (CollectReplyByte(works, reply, index)) catProcessStatus = STATUS_DECODE;
        break;
      default:
        DecodeCatSerialCmd(works, reply, FT817_FRAME_BYTES);
        index = 0;
        catProcessStatus = STATUS_SEND;
        break;
    }
  }
}

void CatSerial(Works *works) {
  const char *port = works->cfg.setup->CatSerialPort;
  LogSys(LOG_PRIO_INFO, "Init CATSerial Port %s", port);
  std::string path = GetPaths().Device(port);
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) {
    FailPort(works, "Unable to open device ");
    return;
  }
  if (!SetRawSerialLine(fd, B38400, true)) {
    FailPort(works, "Unable to set comm port ");
    close(fd);
    return;
  }
  works->trx.catSerFD = fd;
  LogSys(LOG_PRIO_INFO, "OK works->catSerFD=%d (%s)", fd, port);
  LogErr("---------------- OK works->catSerFD=%d (%s)\n", fd, port);
  PollFt817(works);
  // The next start, when FT-817 is chosen again, opens the port anew.
  works->trx.catSerFD = -1;
  close(fd);
}
