#include "transceiver/cat_relay.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <mutex>

#include "amplifier/errors.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "remote/ws_send.h"
#include "settings/setup_record.h"
#include "transceiver/cat_port.h"

std::atomic<int> status_cat{0};

namespace {
constexpr int MESSAGE_MAX = 200;  // characters, ';' included
constexpr int POLL_MS = 5;
constexpr int64_t START_PAUSE_SECONDS = 3;

bool Relaying(Works *works) {
  return ReadSetupFlag(works->cfg.setup->EnableCAT) == '1' && works->core.running;
}

// Collects bytes into ';'-terminated messages until the relay is told to
// stop (true) or the port fails (false).
bool RelayMessages(Works *works, int fd) {
  char message[MESSAGE_MAX + 1] = {};
  int len = 0;
  while (Relaying(works)) {
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, 1, POLL_MS);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char bytes[64];
    ssize_t n = read(fd, bytes, sizeof bytes);
    if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
    for (ssize_t i = 0; i < n; i++) {
      message[len++] = bytes[i];
      if (bytes[i] == ';') {
        message[len] = 0;
        sendWebSockCatFrame(works, message, len);
        len = 0;
      } else if (len == MESSAGE_MAX) {
        len = 0;  // no ';' in 200 characters: not a message
      }
    }
  }
  return true;
}
}  // namespace

void ExitCAT(Works *works) {
  works->remote.remoteFault = 1;
  WriteSetupFlag(works->cfg.setup->EnableCAT, '0');
  AddErrore(works, ERR_REMOTE_CAT);
}

void Cat(Works *works) {
  const char *setting = works->cfg.setup->CatPort;
  status_cat = 0;
  if (!PauseWhileRunning(works, START_PAUSE_SECONDS * works->core.pauseSecondMs)) return;
  if (VerifyCAT(works) != 0) {
    LogSys(LOG_PRIO_ERR, "Unable to open device %s", setting);
    LogErr("CAT: Unable to open device %s\n", setting);
    ExitCAT(works);
    return;
  }
  int fd = works->trx.catFD;
  LogSys(LOG_PRIO_INFO, "OK works->catFD=%d (%s)", fd, setting);
  status_cat = 1;
  RelayMessages(works, fd);
  {
    std::lock_guard<std::mutex> lock(works->trx.catPortMutex);
    works->trx.catFD = -1;
    status_cat = 0;
    close(fd);
  }
  // A stop of the whole unit is no fault of the relay.
  if (works->core.running) ExitCAT(works);
}
