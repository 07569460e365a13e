#include "transceiver/remote_check.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "platform/usb.h"
#include "settings/setup_record.h"
#include "transceiver/cat_port.h"
#include "transceiver/cat_relay.h"

namespace {
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

bool ReceiverOnUsb() { return UsbDevicePresent(RECEIVER_USB_VENDOR, RECEIVER_USB_PRODUCT); }

int Find_Remote_Settings(Works *works) {
  if (!ReceiverOnUsb()) return 1;
  if (!CatPortAnswers(works)) {
    LogErr("---CAT: Unable to open device %s\n", works->cfg.setup->CatPort);
    return 2;
  }
  return VerifyAudioTAVO(works) == 0 ? 3 : 0;
}

// The kernel's device list rather than a shell pipeline: playback asks 100
// times a second.
int VerifyAudioTAVO(Works *) { return CountUsbDevices(AUDIO_CODEC_VENDOR, AUDIO_CODEC_PRODUCT); }
