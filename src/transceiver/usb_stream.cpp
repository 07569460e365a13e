#include "transceiver/usb_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "amplifier/errors.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/usb.h"
#include "settings/setup_record.h"
#include "transceiver/remote_check.h"
#include "transceiver/spectrum_fft.h"
#include "transceiver/tavo_params.h"

namespace {
// A receiver that does not answer must not hold the thread: every request
// and every wait for events has a bound.
constexpr unsigned CONTROL_TIMEOUT_MS = 1000;
constexpr unsigned TRANSFER_TIMEOUT_MS = 2000;
constexpr long EVENTS_WAIT_US = 100000;
// Cancelled transfers call back within their own time-out at the latest.
constexpr int64_t CANCEL_WAIT_US = 3000000;
constexpr int MAX_FAILED_TRANSFERS = 10;
constexpr double FULL_SCALE = 1024.0 * 1024.0 * 1024.0;

struct UsbStream;

struct TransferContext {
  int index = 0;
  libusb_transfer *transfer = nullptr;
  uint8_t buffer[RECEIVER_TRANSFER_BYTES];
  bool inFlight = false;
  UsbStream *stream = nullptr;
};

// One run of the stream thread; everything here is touched by that thread
// only (the callbacks run inside its event handling).
struct UsbStream {
  Works *works = nullptr;
  libusb_context *ctx = nullptr;
  libusb_device_handle *dev_handle = nullptr;
  int status_usb_open = 0;
  bool claimed = false;
  int err_counter = 0;
  float globalOffset = 0, lpOffset = 0, attOffset = 0;
  float recalc = 0;
  int divide = 1;
  bool stop = false;
  int inFlight = 0;
  float samples[FFT_SAMPLE_COUNT];
  TransferContext contexts[RECEIVER_TRANSFERS];
};

void Info(const char *text) { LogSys(LOG_PRIO_INFO, "%s", text); }

int Control(UsbStream &s, uint8_t request, uint16_t value, uint16_t index, unsigned char *data,
            uint16_t length) {
  return Usb().controlTransfer(s.dev_handle, RECEIVER_REQUEST_TYPE, request, value, index, data,
                               length, CONTROL_TIMEOUT_MS);
}

bool ClaimReceiver(UsbStream &s, libusb_device *device) {
  if (Usb().open(device, &s.dev_handle) != 0) {
    LogSys(LOG_PRIO_ERR, "Cannot open KRV Device\n");
    return false;
  }
  Info("KRV Device Opened\n");
  s.status_usb_open = 1;
  if (Usb().kernelDriverActive(s.dev_handle, 0) == 1) {
    Info("Kernel Driver Active\n");
    if (Usb().detachKernelDriver(s.dev_handle, 0) == 0) Info("Kernel Driver Detached\n");
  }
  if (Usb().claimInterface(s.dev_handle, 0) != 0) {
    LogSys(LOG_PRIO_ERR, "Cannot claim Interface\n");
    return false;
  }
  s.claimed = true;
  Info("Interface claimed\n");
  return true;
}

void ReadVersions(UsbStream &s) {
  unsigned char v[2] = {};
  if (Control(s, REQ_DRIVER_VERSION, 0, 0, v, sizeof v) > 0)
    LogSys(LOG_PRIO_INFO, "USB Driver Version: %d.%d\n", v[0], v[1]);
  else
    Info("USB Driver Version read failed\n");
  if (Control(s, REQ_READ, READ_HW_VERSION, READ_INDEX, v, sizeof v) == 2)
    LogSys(LOG_PRIO_INFO, "HW Version: %d.%d\n", v[0], v[1]);
  else
    Info("HW Version read failed\n");
}

// The serial number and the model; false for a model this unit cannot use.
bool IdentifyReceiver(UsbStream &s, uint16_t product) {
  unsigned char serial[RECEIVER_SERIAL_BYTES + 1] = {};
  int r = Control(s, REQ_READ, READ_SERIAL, READ_INDEX, serial, RECEIVER_SERIAL_BYTES);
  if (r != RECEIVER_SERIAL_BYTES) {
    LogSys(LOG_PRIO_ERR, "Serial read failed (%d)\n", r);
    return false;
  }
  if (product == RECEIVER_M2_PRODUCT || product == RECEIVER_M1_PRODUCT) {
    LogSys(LOG_PRIO_ERR, product == RECEIVER_M2_PRODUCT ? "KRV M2 " : "KRV M1 ");
    return false;
  }
  if (product != RECEIVER_USB_PRODUCT) {
    LogSys(LOG_PRIO_ERR, "KRV model %04x not supported\n", product);
    return false;
  }
  Info("KRV TAVO ");
  LogSys(LOG_PRIO_INFO, "Serial: %-s\n", reinterpret_cast<const char *>(serial));
  Info("Device caught\n");
  return true;
}

// Looks through the device list for the receiver and takes it; the list is
// released on every path.
bool FindReceiver(UsbStream &s) {
  libusb_device **list = nullptr;
  ssize_t count = Usb().getDeviceList(s.ctx, &list);
  if (count < 0) {
    LogSys(LOG_PRIO_ERR, "Get Device Error\n");
    return false;
  }
  enum { Searching, Caught, Failed } state = Searching;
  for (ssize_t i = 0; i < count && state == Searching; i++) {
    libusb_device_descriptor desc{};
    int r = Usb().getDeviceDescriptor(list[i], &desc);
    if (r != 0) {
      LogSys(LOG_PRIO_ERR, "Get Device Descriptor %d %d\n", int(i), r);
      state = Failed;
      break;
    }
    LogSys(LOG_PRIO_INFO, "%d vid %04x pid %04x %d\n", int(i), desc.idVendor, desc.idProduct, r);
    if (desc.idVendor != RECEIVER_USB_VENDOR) continue;
    bool ok = ClaimReceiver(s, list[i]);
    if (ok) ReadVersions(s);
    state = ok && IdentifyReceiver(s, desc.idProduct) ? Caught : Failed;
  }
  Usb().freeDeviceList(list, 1);
  if (state == Caught) Info("libusb devices list freed\n");
  if (state == Searching) LogSys(LOG_PRIO_ERR, "Cannot find KRV Device\n");
  return state == Caught;
}

bool ReadOffset(UsbStream &s, uint16_t value, const char *name, float &offset) {
  unsigned char bytes[4] = {};
  int r = Control(s, REQ_READ, value, READ_INDEX, bytes, sizeof bytes);
  if (r != int(sizeof bytes)) {
    LogSys(LOG_PRIO_ERR, "%s Offset failed (%d)\n", name, r);
    return false;
  }
  memcpy(&offset, bytes, sizeof offset);
  LogSys(LOG_PRIO_INFO, "%s Offset: %f\n", name, double(offset));
  return true;
}

// FIFO commands are only logged when they fail.
void FifoCommand(UsbStream &s, uint16_t value, uint16_t index, const char *name) {
  unsigned char reply = 0;
  int r = Control(s, REQ_FIFO, value, index, &reply, 1);
  if (r == 1)
    LogSys(LOG_PRIO_INFO, "%s\n", name);
  else
    LogSys(LOG_PRIO_ERR, "%s failed (%d)\n", name, r);
}

bool StartReceiver(UsbStream &s) {
  if (!ReadOffset(s, READ_GLOBAL_OFFSET, "Global", s.globalOffset) ||
      !ReadOffset(s, READ_LP_OFFSET, "LP", s.lpOffset) ||
      !ReadOffset(s, READ_ATT_OFFSET, "ATT", s.attOffset))
    return false;
  FifoCommand(s, 0, FIFO_SYN, "Stop FIFO");
  FifoCommand(s, 0, FIFO_INIT, "Init FIFO");
  unsigned char reply = 0;
  int r = Control(s, REQ_FIFO, 1, FIFO_SYN, &reply, 1);
  if (r != 1 || reply != SYN_REPLY) LogSys(LOG_PRIO_ERR, "Enable SYN failed (%d %02X)\n", r, reply);
  Info("SYN Enabled\n");
  return true;
}

void cb_in(libusb_transfer *transfer);

int Submit(TransferContext &c) {
  int r = Usb().submitTransfer(c.transfer);
  if (r == 0) {
    c.inFlight = true;
    c.stream->inFlight++;
  }
  return r;
}

bool SubmitTransfers(UsbStream &s) {
  for (TransferContext &c : s.contexts) {
    c.transfer = Usb().allocTransfer(0);
    if (!c.transfer) {
      LogSys(LOG_PRIO_ERR, "libusb_alloc_transfer failed\n");
      return false;
    }
  }
  Info("libusb_alloc_transfer succedeed\n");
  for (TransferContext &c : s.contexts) {
    libusb_fill_bulk_transfer(c.transfer, s.dev_handle, RECEIVER_BULK_IN, c.buffer,
                              RECEIVER_TRANSFER_BYTES, cb_in, &c, TRANSFER_TIMEOUT_MS);
    int r = Submit(c);
    if (r != 0) {
      LogSys(LOG_PRIO_ERR, "libusb_submit_transfer failed (%d)\n", r);
      return false;
    }
  }
  Info("libusb_submit_transfer succedeed\n");
  Info("SYN transfer starting\n");
  return true;
}

bool Streaming(const UsbStream &s) {
  return ReadSetupFlag(s.works->cfg.setup->EnableFFT) == '1' &&
         s.err_counter <= MAX_FAILED_TRANSFERS && !s.stop && s.works->core.running;
}

int HandleEvents(UsbStream &s) {
  timeval wait{0, EVENTS_WAIT_US};
  return Usb().handleEventsTimeout(s.ctx, &wait);
}

void RunStream(UsbStream &s) {
  int r = 0;
  while (Streaming(s)) {
    r = HandleEvents(s);
    if (r != 0) {
      printf("%d\n", r);
      fflush(stdout);
    }
    SleepMillis(1);
  }
  s.stop = true;
  LogSys(LOG_PRIO_INFO, "libusb_handle events completed (%d)\n", r);
  LogSys(LOG_PRIO_INFO, "%s Operations end\n", "TAVORead");
}

// Transfers still in flight are cancelled and their callbacks awaited before
// anything they use is released; one that never calls back is left alone.
void CloseReceiver(UsbStream &s) {
  s.stop = true;
  for (TransferContext &c : s.contexts)
    if (c.inFlight) Usb().cancelTransfer(c.transfer);
  for (int64_t end = MonotonicMicros() + CANCEL_WAIT_US; s.inFlight > 0 && MonotonicMicros() < end;)
    HandleEvents(s);
  for (TransferContext &c : s.contexts)
    if (c.transfer && !c.inFlight) Usb().freeTransfer(c.transfer);
  if (s.claimed) Usb().releaseInterface(s.dev_handle, 0);
  if (s.status_usb_open) Usb().close(s.dev_handle);
  if (s.ctx) Usb().exit(s.ctx);
}

void ScaleSamples(UsbStream &s, const libusb_transfer *transfer) {
  TavoParamsRecord params{};
  getParameters(&params, s.works);
  float lp = params.word[tavo::lp] >= 1 ? s.lpOffset : 0;
  s.recalc = std::pow(10.0f, (21.4f - s.globalOffset + lp) / 20);
  const float factor = float(s.recalc / 2 / FULL_SCALE);
  int count = std::clamp(transfer->actual_length / 4, 0, FFT_SAMPLE_COUNT);
  const uint8_t *b = transfer->buffer;
  for (int i = 0; i < count; i++, b += 4) {
    auto sample = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                       uint32_t(b[3]) << 24);
    s.samples[i] = float(sample) * factor;
  }
  // A short transfer must not leave an older one's samples behind.
  std::fill(s.samples + count, s.samples + FFT_SAMPLE_COUNT, 0.0f);
}

void Completed(UsbStream &s, const libusb_transfer *transfer) {
  s.err_counter = 0;
  Works *works = s.works;
  if (ReadSetupFlag(works->cfg.setup->fftRun) == '0') return;
  ScaleSamples(s, transfer);
  if (--s.divide > 0) return;
  // A divider below 1 would never come round again.
  s.divide = std::max(int(works->cfg.Divide), 1);
  if (works->remote.wsConnected) fftCalc(s.samples, FFT_SAMPLE_COUNT, works);
}

const char *FailureName(libusb_transfer_status status) {
  switch (status) {
    case LIBUSB_TRANSFER_TIMED_OUT:
      return "Timedout";
    case LIBUSB_TRANSFER_CANCELLED:
      return "Cancelled";
    case LIBUSB_TRANSFER_STALL:
      return "Stalled";
    case LIBUSB_TRANSFER_NO_DEVICE:
      return "Nodevice";
    case LIBUSB_TRANSFER_OVERFLOW:
      return "Overflowed";
    default:
      return "Error";
  }
}

// Runs inside the event handling of the stream thread. Ending the stream is
// left to the thread: nothing here is released while transfers are in flight.
void cb_in(libusb_transfer *transfer) {
  auto &c = *static_cast<TransferContext *>(transfer->user_data);
  UsbStream &s = *c.stream;
  c.inFlight = false;
  s.inFlight--;
  if (transfer->status == LIBUSB_TRANSFER_COMPLETED) {
    Completed(s, transfer);
  } else {
    LogSys(LOG_PRIO_INFO, "CB result: %s %d\n", FailureName(transfer->status), c.index);
    s.err_counter++;
  }
  if (s.err_counter > MAX_FAILED_TRANSFERS) {
    LogSys(LOG_PRIO_INFO, "libusb_err_counter (%d), %s:%d\n", s.err_counter, __FILE_NAME__,
           __LINE__);
    return;
  }
  if (s.stop) return;
  int r = Submit(c);
  if (r != 0) {
    LogSys(LOG_PRIO_ERR, "libusb_submit_transfer failed (%d)  %s:%d\n", r, __FILE_NAME__, __LINE__);
    s.stop = true;
  }
}

bool OpenStream(UsbStream &s) {
  int r = Usb().init(&s.ctx);
  if (r != 0) {
    LogSys(LOG_PRIO_ERR, "Init Error %d\n", r);
    s.ctx = nullptr;
    return false;
  }
  Usb().setDebug(s.ctx, LIBUSB_LOG_LEVEL_INFO);
  return FindReceiver(s) && StartReceiver(s);
}
}  // namespace

void TAVORead(Works *works) {
  LogSys(LOG_PRIO_INFO, "Operations init vorn-comms version 1.0\n");
  LogErr("Operations init vorn-comms version 1.0\n");
  auto stream = std::make_unique<UsbStream>();
  UsbStream &s = *stream;
  s.works = works;
  for (int i = 0; i < RECEIVER_TRANSFERS; i++) {
    s.contexts[i].index = i;
    s.contexts[i].stream = &s;
  }
  if (OpenStream(s) && SubmitTransfers(s)) RunStream(s);
  CloseReceiver(s);
  ExitTAVOread(works);
}

void ExitTAVOread(Works *works) {
  AddErrore(works, ERR_REMOTE_USB);
  WriteSetupFlag(works->cfg.setup->EnableFFT, '0');
  works->remote.remoteFault = 1;
}

int Get_AudioTAVO(Works *) {
  FILE *pipe = popen("lsusb | grep 0d8c", "r");
  if (!pipe) {
    LogErr("Error opening pipe.\n");
    return 0;
  }
  int count = 0;
  char line[128];
  while (fgets(line, sizeof line, pipe)) {
    LogErr("----------------- %s\n", line);
    count++;
  }
  if (pclose(pipe) == -1) {
    LogErr(" Error!\n");
    return 0;
  }
  return count;
}
