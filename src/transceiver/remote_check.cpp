#include "transceiver/remote_check.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "platform/shell.h"
#include "settings/setup_record.h"
#include "transceiver/cat_port.h"
#include "transceiver/cat_relay.h"

namespace {
constexpr size_t PIPE_LINE = 200;

// The search's "DT;" and its answer would race with a running relay on the
// same port: a port the relay holds counts as found.
bool CatPortAnswers(Works *works) {
  if (status_cat) return true;
  if (VerifyCAT(works) != 0) return false;
  std::lock_guard<std::mutex> lock(works->trx.catPortMutex);
  close(works->trx.catFD);
  works->trx.catFD = -1;
  return true;
}
}  // namespace

// Until the simulated USB bus exists, presence is read from the device list.
bool ReceiverOnUsb() {
  std::string id = StrPrintf("ID %04x:%04x", RECEIVER_USB_VENDOR, RECEIVER_USB_PRODUCT);
  return ReadShell("lsusb").find(id) != std::string::npos;
}

int Find_Remote_Settings(Works *works) {
  if (!ReceiverOnUsb()) return 1;
  if (!CatPortAnswers(works)) {
    LogErr("---CAT: Unable to open device %s\n", works->cfg.setup->CatPort);
    return 2;
  }
  return VerifyAudioTAVO(works) == 0 ? 3 : 0;
}

int VerifyAudioTAVO(Works *) {
  std::string count = ReadShell("lsusb|grep 0d8c:01af |wc -l", PIPE_LINE);
  if (count.empty()) {
    LogErr("Error opening pipe.\n");
    return 0;
  }
  return atoi(count.c_str());
}
