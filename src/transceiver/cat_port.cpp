#include "transceiver/cat_port.h"

#include <errno.h>
#include <fcntl.h>
#include <glob.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "platform/serial_port.h"
#include "settings/setup_record.h"

namespace {
constexpr int ANSWER_BYTES = 5;
const char IDENTITY[] = "DT001";
const char RULE[] = "---------------------------------------------";

// Reads with a one-second time-out per byte from here on.
bool WaitUpToASecondPerByte(int fd) {
  termios line;
  if (tcgetattr(fd, &line) != 0) return false;
  line.c_lflag &= ~ICANON;
  line.c_cc[VTIME] = 10;
  line.c_cc[VMIN] = 0;
  return tcsetattr(fd, TCSANOW, &line) == 0;
}

// The first five answer bytes. A byte late by more than a second ends the
// answer, so that a transceiver stopping halfway cannot hold the search.
std::string ReadAnswer(int fd, const char *path) {
  char answer[200] = {};
  int got = 0;
  while (got < ANSWER_BYTES) {
    ssize_t r = read(fd, answer + got, 1);
    if (r > 0) got++;
    LogSys(LOG_PRIO_INFO, "Received %d \"%s\" %s", static_cast<int>(r), answer, path);
    if (r <= 0) break;
  }
  LogSys(LOG_PRIO_INFO, "Received \"%s\" %s", answer, path);
  return std::string(answer, got);
}

// Opens `path`, asks "DT;" and keeps the descriptor when the transceiver
// answers; -1 otherwise.
int TryCatPort(const char *path) {
  int fd = open(path, O_RDWR | O_NOCTTY);
  if (fd < 0) {
    LogSys(LOG_PRIO_INFO, "Cannot open %s, error %d -%s", path, errno, strerror(errno));
    return -1;
  }
  LogSys(LOG_PRIO_INFO, "Opened  %s", path);
  LogErr("Opened %s%s\n", path, RULE);
  if (!SetRawSerialLine(fd, B115200, false)) {
    LogSys(LOG_PRIO_INFO, "Cannot set %s, error %d -%s", path, errno, strerror(errno));
    close(fd);
    return -1;
  }
  LogSys(LOG_PRIO_INFO, "Set %s", path);
  LogErr("set %s%s\n", path, RULE);
  LogSys(LOG_PRIO_INFO, "Send \"DT;\" %s", path);
  SerialWriteAll(fd, "DT;", 3);
  LogSys(LOG_PRIO_INFO, "Sent \"DT;\" %s", path);
  LogErr("sent %s%s\n", path, RULE);
  if (WaitUpToASecondPerByte(fd) && ReadAnswer(fd, path) == IDENTITY) {
    LogErr("received DT001; %s%s\n", path, RULE);
    return fd;
  }
  close(fd);
  LogSys(LOG_PRIO_INFO, "Cannot connect TAVO using %s", path);
  return -1;
}
}  // namespace

int VerifyCAT(Works *works) {
  LogErr("CAT serial search...\n");
  glob_t found{};
  if (glob(GetPaths().catPortGlob.c_str(), 0, nullptr, &found) != 0 || found.gl_pathc == 0) {
    globfree(&found);
    LogErr("No CAT serial port found");
    return -1;
  }
  int fd = -1;
  const char *port = nullptr;
  for (size_t i = found.gl_pathc; i-- > 0 && fd < 0;) {
    port = found.gl_pathv[i];
    fd = TryCatPort(port);
    if (fd < 0) SleepMillis(2);
  }
  if (fd >= 0) {
    works->trx.catFD = fd;
    LogErr("CAT serial found:  %s%s\n", port, RULE);
  } else {
    const char *setting = works->cfg.setup->CatPort;
    LogSys(LOG_PRIO_ERR, "Unable to open device %s", setting);
    LogErr("CAT: Unable to open device %s\n", setting);
  }
  globfree(&found);
  return fd >= 0 ? 0 : -1;
}
