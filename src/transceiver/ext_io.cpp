#include "transceiver/ext_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "amplifier/errors.h"
#include "amplifier/framing.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "platform/serial_port.h"
#include "remote/ws_send.h"
#include "settings/setup_record.h"
#include "transceiver/spectrum_line.h"
#include "transceiver/tavo_params.h"

namespace {
constexpr int TIMEOUT_MS = 1500;  // without a byte
constexpr uint8_t FIRST_NOISE_TYPE = 15;
constexpr uint8_t TYPE_SPECTRUM = 0;
constexpr uint8_t TYPE_PARAMETERS = 1;
constexpr int INTERFACE_TAVO = 1;
constexpr int RX_HOLDOFF = 30;
constexpr size_t PAYLOAD_BUFFER = 2000;

// AutoTuneMode bits of the tune handshake with the timer.
constexpr uint8_t HS_RX_REQUEST = 0x04, HS_RX_SENT = 0x08;
constexpr uint8_t HS_TX_REQUEST = 0x20, HS_TX_SENT = 0x40;

const char RX_COMMAND[] = "RX;";
const char TX_COMMAND[] = "TU120;TX2;";

bool LinkRunning(Works *works) {
  return ReadSetupFlag(works->cfg.setup->extIoRun) == '1' && works->core.running != 0;
}

void RaiseOpenError(Works *works) {
  SetErrLine2(works, ERR_EXTIO_OPEN, works->cfg.setup->SerPort);
  AddErrore(works, ERR_EXTIO_OPEN);
}

void SendToTransceiver(Works *works, const char *text) {
  writeSerialPort(works->trx.serFD, text, strlen(text));
}

void ServeTuneHandshake(Works *works) {
  std::atomic<uint8_t> &mode = works->cfg.AutoTuneMode;
  uint8_t bits = mode;
  if (bits & HS_RX_REQUEST) {
    SendToTransceiver(works, RX_COMMAND);
    LogErr("SENT TAVO RX;! (0x%x)\n", bits);
    mode.fetch_and(uint8_t(~HS_RX_REQUEST));
    mode.fetch_or(HS_RX_SENT);
  }
  bits = mode;
  if (!(bits & HS_TX_REQUEST)) return;
  mode.fetch_and(uint8_t(~HS_TX_REQUEST));
  // A carrier only for a running tune: one asked for as a tune ended or was
  // refused would leave the transceiver transmitting.
  if (works->tuner.tuneStatus == 0) {
    LogErr("TAVO TX2 not sent: no tune runs (0x%x)\n", bits);
    return;
  }
  SendToTransceiver(works, TX_COMMAND);
  LogErr("SENT TAVO TX2;! (0x%x)\n", bits);
  mode.fetch_or(HS_TX_SENT);
}

// The request is done unless the flags changed while it was served: a stop
// that came while the carrier was being asked for is served next time, so
// the transceiver is not left transmitting.
void ManualRequestServed(std::atomic<uint8_t> &flags, uint8_t seen) {
  flags.compare_exchange_strong(seen, uint8_t(seen & ~TEST_TX_REQUEST));
}

void ServeManualTune(Works *works) {
  std::atomic<uint8_t> &flags = works->tuner.autoAntFlags;
  uint8_t bits = flags;
  if (!(bits & TEST_TX_REQUEST)) return;
  if (!(bits & TEST_TX_ON)) {
    SendToTransceiver(works, RX_COMMAND);
    LogErr("SENT TAVO RX...\n");
    works->trx.rxHoldoff = RX_HOLDOFF;
    ManualRequestServed(flags, bits);
    return;
  }
  // Not while the amplifier is still answering an antenna change.
  if (bool(bits & ANT_ANSWER_WAIT) != bool(bits & ANT_ANSWER_DONE)) return;
  SendToTransceiver(works, TX_COMMAND);
  LogErr("SENT TAVO TX2...\n");
  ManualRequestServed(flags, bits);
}
}  // namespace

bool writeSerialPort(int fd, const void *data, size_t len) { return SerialWriteAll(fd, data, len); }

void ReportExtIoTimeout(Works *works, const char *message) {
  if (works->trx.extIoHoldoff != 0) return;
  if (works->tuner.modeWorkIdx == INTERFACE_TAVO) AddErrore(works, ERR_TAVO_EXTIO);
  works->trx.extIoHoldoff = EXT_IO_HOLDOFF_MS;
  LogErr("%s", message);
}

bool readSerialPort(Works *works, uint8_t *buf, int n) {
  int fd = works->trx.serFD;
  int got = 0;
  int64_t lastByte = MonotonicMicros();
  while (got < n) {
    if (!LinkRunning(works)) return false;
    int waiting = SerialBytesWaiting(fd);
    if (waiting <= 0) {
      if (MillisSince(lastByte) >= TIMEOUT_MS)
        ReportExtIoTimeout(works, "---------------------------------------TIMEOUT EXT IO 3\n");
      SleepMillis(1);
      continue;
    }
    ssize_t r = read(fd, buf + got, std::min(waiting, n - got));
    if (r > 0) {
      got += static_cast<int>(r);
      lastByte = MonotonicMicros();
    }
  }
  return true;
}

int ExtIoDataLength(const uint8_t *digits) {
  // The digits arrive least significant first; ':' .. '?' stand for A .. F.
  char text[5] = {};
  for (int i = 0; i < 4; i++) {
    uint8_t c = digits[3 - i];
    text[i] = static_cast<char>(c > '9' ? c + 7 : c);
  }
  int len = 0;
  for (int i = 0; i < 4; i++) {
    int value = charToInt(text[i]);
    if (value < 0) break;
    len = len * 16 + value;
  }
  if (len > EXT_IO_MAX_LENGTH) {
    LogErr("----------> 3SERIAL : ERROR dataLength %d   %s!!!!!!\n", len, text);
    len = EXT_IO_MAX_LENGTH;
  }
  return len;
}

bool decodeCmdParameters(Works *works, uint8_t *lenBuf, char &kind, int &len) {
  uint8_t kindByte = 0;
  if (!readSerialPort(works, &kindByte, 1)) return false;
  kind = static_cast<char>(kindByte);
  memset(lenBuf, 0, 4);
  if (!readSerialPort(works, lenBuf, 4)) return false;
  len = ExtIoDataLength(lenBuf);
  return true;
}

void HandleExtIoMessage(Works *works, uint8_t type) {
  uint8_t lenBuf[4];
  char kind = 0;
  int len = 0;
  if (!decodeCmdParameters(works, lenBuf, kind, len)) return;
  uint8_t payload[PAYLOAD_BUFFER] = {};
  if (type == TYPE_SPECTRUM && kind == '0') {
    if (!readSerialPort(works, payload, len)) return;
    storeFFT(works, len, payload);
    ForwardSpectrumLine(works, payload, len);
  } else if (type == TYPE_PARAMETERS && kind == '1') {
    if (!readSerialPort(works, payload, len)) return;
    storeParameters(works, len, payload);
    sendWebSockSerParFrame(works, payload, len);
  } else if (type != TYPE_SPECTRUM && type != TYPE_PARAMETERS) {
    LogSys(LOG_PRIO_ERR, "Error3");
  }
  ServeTransceiverRequests(works);
}

void ServeTransceiverRequests(Works *works) {
  ServeTuneHandshake(works);
  ServeManualTune(works);
}

void ServeExtIoLink(Works *works) {
  int fd = works->trx.serFD;
  int64_t idleSince = MonotonicMicros();
  while (LinkRunning(works)) {
    if (SerialBytesWaiting(fd) <= 0) {
      if (MillisSince(idleSince) >= TIMEOUT_MS) {
        ReportExtIoTimeout(works, "---------------------------------------TIMEOUT EXT IO 1\n");
        idleSince = MonotonicMicros();
      }
      SleepMillis(1);
      continue;
    }
    uint8_t type = 0;
    ssize_t r = read(fd, &type, 1);
    if (r != 1) {
      LogSys(LOG_PRIO_ERR, "error %d", static_cast<int>(r));
      ReportExtIoTimeout(works, "---------------------------------------TIMEOUT EXT IO 2\n");
    } else if (type < FIRST_NOISE_TYPE) {
      HandleExtIoMessage(works, type);
    }
    idleSince = MonotonicMicros();
  }
}

void Serial(Works *works) {
  SetupRecord &setup = *works->cfg.setup;
  LogSys(LOG_PRIO_INFO, "Init Serial Port %s", setup.SerPort);
  std::string path = GetPaths().Device(setup.SerPort);
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) {
    LogSys(LOG_PRIO_ERR, "Unable to open device %s", setup.SerPort);
    RaiseOpenError(works);
    return;
  }
  if (!SetRawSerialLine(fd, B115200, false)) {
    LogSys(LOG_PRIO_ERR, "Unable to open device %s", setup.SerPort);
    LogErr("Serial: Unable to open device %s\n", setup.SerPort);
    RaiseOpenError(works);
    close(fd);
    return;
  }
  works->trx.serFD = fd;
  LogSys(LOG_PRIO_INFO, "OK works->serFD=%d (%s)", fd, setup.SerPort);
  LogErr("------------------ OK works->serFD=%d (%s)\n", fd, setup.SerPort);
  ServeExtIoLink(works);
  LogErr("---------------------------------------Serial EXIT %x\n", ReadSetupFlag(setup.extIoRun));
  // A later choice of the interface opens the port again.
  works->trx.serFD = -1;
  close(fd);
}
