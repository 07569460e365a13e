#include "amplifier/link.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "amplifier/commands.h"
#include "amplifier/framing.h"
#include "amplifier/link_internal.h"
#include "amplifier/replies.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/state.h"
#include "core/works.h"
#include "platform/paths.h"
#include "platform/serial_port.h"
#include "settings/setup_record.h"

namespace {
constexpr int RX_LIMIT = 500;  // bytes without a ';' before the buffer starts again
constexpr int READ_RETURN_DECISECONDS = 5;
constexpr int PAUSE_SLICE_MS = 100;

std::string LinearDevice(Works *works) { return GetPaths().Device(works->cfg.setup->LinPort); }

void ReportPortError(Works *works, const char *what, const std::string &device) {
  LogSys(LOG_PRIO_ERR, "%s %s", what, device.c_str());
  LogErr("%s %s\n", what, device.c_str());
  SetLinkError(works, std::string("Linear: ") + what + " " + device);
}

// 115200 baud raw, hang-up on close; a read returns after a byte or 0.5 s.
bool SetLinearLine(int fd) {
  if (!SetRawSerialLine(fd, B115200, false)) return false;
  termios line;
  if (tcgetattr(fd, &line) != 0) return false;
  line.c_cflag |= HUPCL;
  line.c_cc[VTIME] = READ_RETURN_DECISECONDS;
  return tcsetattr(fd, TCSANOW, &line) == 0;
}

// Opens the port; failures are reported only when `report` is set, so that
// the calm retries of a missing port do not flood the logs.
bool OpenPort(Works *works, bool report) {
  LinkState &l = works->link;
  std::string device = LinearDevice(works);
  if (report) LogSys(LOG_PRIO_INFO, "Init Linear Port %s", device.c_str());
  int fd = open(device.c_str(), O_RDWR);
  if (fd < 0) {
    if (report) ReportPortError(works, "Unable to open device", device);
    return false;
  }
  if (!SetLinearLine(fd)) {
    close(fd);
    if (report) ReportPortError(works, "Unable to set comm port", device);
    return false;
  }
  l.linFD = fd;
  LogErr("OK works->linFD=%d (%s) stato:%d\n", fd, device.c_str(), int(l.linearProcessStatus));
  LogSys(LOG_PRIO_INFO, "OK works->linFD=%d (%s)", fd, device.c_str());
  // A port that failed before and opens now takes its message off the screen.
  if (!report && works->core.linkErrState > 0) works->core.linkErrState = -1;
  return true;
}

void ClosePort(Works *works) {
  int fd = works->link.linFD.exchange(-1);
  if (fd >= 0) close(fd);
}

// Waits `ms` of elapsed time, in slices so that a stop is not held up.
void Pause(Works *works, int ms) {
  int64_t start = MonotonicMicros();
  for (int64_t left = ms; left > 0 && works->core.running; left = ms - MillisSince(start))
    SleepMillis(left < PAUSE_SLICE_MS ? left : PAUSE_SLICE_MS);
}

// State 2: one byte of the reply, or one more look after a millisecond. The
// time-out is decided right after a look that found nothing, never after a
// sleep that a busy machine may have stretched past a reply's arrival.
void ReceiveReply(Works *works) {
  LinkState &l = works->link;
  int fd = l.linFD;
  if (SerialBytesWaiting(fd) <= 0) {
    if (MillisSince(l.lastWriteMicros) >= REPLY_TIMEOUT_MS)
      GestRetrayCMD(works);
    else
      SleepMillis(1);
    return;
  }
  char c;
  ssize_t got = read(fd, &c, 1);
  if (got != 1) {
    LogSys(LOG_PRIO_ERR, "timeout %d\n", int(got));
    GestRetrayCMD(works);
    SleepMillis(PAUSE_AFTER_REPLY_MS);
    return;
  }
  AcceptReplyByte(works, c);
}
}  // namespace

bool OpenLinear(Works *works) { return OpenPort(works, true); }

void LinearExchangeFailed(Works *works) {
  if (works->link.linFD >= 0) {
    LogSys(LOG_PRIO_ERR, "Linear: %s does not take commands", LinearDevice(works).c_str());
    ClosePort(works);
  }
  // As long as a reply would have been waited for: a dead port is retried
  // at the pace of an amplifier that does not answer.
  Pause(works, REPLY_TIMEOUT_MS);
  GestRetrayCMD(works);
  OpenPort(works, false);
}

void AcceptReplyByte(Works *works, char c) {
  LinkState &l = works->link;
  if (l.rxCount >= RX_LIMIT) {
    l.rxCount = 0;
    LogErr("<<<<<<<<<<<<<<<<<<<<ERROR COUNTER LINEAR (CounterLinear)\n");
  }
  l.rxBuf[l.rxCount++] = c;
  l.rxBuf[l.rxCount] = '\0';
  if (c != ';') return;
  if (!FrameCrcMatches(l.rxBuf, l.rxCount)) {
    char digits[3];
    int textLength = l.rxCount > 2 ? l.rxCount - 2 : 0;
    snprintf(digits, sizeof digits, "%02X", Sys_Crc8Calculation(l.rxBuf + 2, textLength));
    LogErr("**** CHK ERROR!! %s %s\n", digits, l.rxBuf);
    SleepMillis(PAUSE_AFTER_REPLY_MS);
  }
  l.linearProcessStatus = CMD_DECODE;
}

void DecodeLinearReply(Works *works) {
  LinkState &l = works->link;
  int count = l.rxCount;
  DecodeCatCmd(works, l.rxBuf + (count < 2 ? count : 2), count);
  l.rxCount = 0;
  l.rxBuf[0] = '\0';
}

void RunLinearState(Works *works) {
  LinkState &l = works->link;
  int32_t state = l.linearProcessStatus;
  switch (state) {
    case CMD_WAIT_REPLY:
      ReceiveReply(works);
      return;
    case CMD_DECODE:
      DecodeLinearReply(works);
      return;
    case CMD_IDLE:
      SleepMillis(1);
      return;  // until another thread sets a state
    case CMD_PARKED:
      SleepSeconds(1);
      return;
    default:
      break;
  }
  if (!SendCmdLinear(works, state)) {
    LogSys(LOG_PRIO_ERR, "Linear: no command for state %d, polling again", int(state));
    l.linearProcessStatus = CMD_ST;
  }
}

void Linear(Works *works) {
  works->link.linearProcessStatus = CMD_ST;
  OpenLinear(works);
  while (works->core.running) RunLinearState(works);
  ClosePort(works);
}
