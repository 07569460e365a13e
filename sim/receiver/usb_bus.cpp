#include "sim/receiver/usb_bus.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/clock.h"
#include "core/log.h"
#include "transceiver/remote_check.h"
#include "transceiver/usb_stream.h"

namespace fs = std::filesystem;

namespace {
constexpr double WINDOW_US = ReceiverModel::PAIRS_PER_WINDOW * 1e6 / ReceiverModel::SAMPLE_RATE;

std::atomic<SimUsbBus *> installed{nullptr};

struct SimHandle {
  SimUsbDevice *device;
};

SimUsbBus &Bus() { return *installed.load(); }

SimUsbDevice *DeviceOf(libusb_device *dev) { return reinterpret_cast<SimUsbDevice *>(dev); }
SimHandle *HandleOf(libusb_device_handle *h) { return reinterpret_cast<SimHandle *>(h); }

// The functions the unit calls instead of libusb's.
int Init(libusb_context **ctx) {
  *ctx = reinterpret_cast<libusb_context *>(new int(0));
  return 0;
}
void Exit(libusb_context *ctx) { delete reinterpret_cast<int *>(ctx); }
void SetDebug(libusb_context *, int) {}
ssize_t GetDeviceList(libusb_context *, libusb_device ***list) { return Bus().DeviceList(list); }
void FreeDeviceList(libusb_device **list, int) { delete[] list; }
int GetDescriptor(libusb_device *dev, libusb_device_descriptor *desc) {
  return Bus().Descriptor(dev, desc);
}
int Open(libusb_device *dev, libusb_device_handle **handle) { return Bus().Open(dev, handle); }
void Close(libusb_device_handle *handle) { delete HandleOf(handle); }
int KernelDriverActive(libusb_device_handle *, int) { return 0; }
int DetachKernelDriver(libusb_device_handle *, int) { return LIBUSB_ERROR_NOT_FOUND; }
int ClaimInterface(libusb_device_handle *, int) { return 0; }
int ReleaseInterface(libusb_device_handle *, int) { return 0; }
int ControlTransfer(libusb_device_handle *handle, uint8_t requestType, uint8_t request,
                    uint16_t value, uint16_t index, unsigned char *data, uint16_t length,
                    unsigned int) {
  if (requestType != RECEIVER_REQUEST_TYPE) return LIBUSB_ERROR_INVALID_PARAM;
  return Bus().ControlTransfer(handle, request, value, index, data, length);
}
libusb_transfer *AllocTransfer(int isoPackets) {
  if (isoPackets != 0) return nullptr;
  return new libusb_transfer{};
}
void FreeTransfer(libusb_transfer *transfer) { delete transfer; }
int SubmitTransfer(libusb_transfer *transfer) { return Bus().Submit(transfer); }
int CancelTransfer(libusb_transfer *transfer) { return Bus().Cancel(transfer); }
int HandleEventsTimeout(libusb_context *, timeval *tv) { return Bus().HandleEvents(tv); }

const UsbOps SIM_USB_OPS = {
    .init = Init,
    .exit = Exit,
    .setDebug = SetDebug,
    .getDeviceList = GetDeviceList,
    .freeDeviceList = FreeDeviceList,
    .getDeviceDescriptor = GetDescriptor,
    .open = Open,
    .close = Close,
    .kernelDriverActive = KernelDriverActive,
    .detachKernelDriver = DetachKernelDriver,
    .claimInterface = ClaimInterface,
    .releaseInterface = ReleaseInterface,
    .controlTransfer = ControlTransfer,
    .allocTransfer = AllocTransfer,
    .freeTransfer = FreeTransfer,
    .submitTransfer = SubmitTransfer,
    .cancelTransfer = CancelTransfer,
    .handleEventsTimeout = HandleEventsTimeout,
};

void WriteHex(const fs::path &path, uint16_t value) {
  std::ofstream(path) << StrPrintf("%04x\n", value);
}
}  // namespace

SimUsbBus::SimUsbBus(const std::string &root)
    : root_(root),
      devices_{
          {UsbSlot::RootHub, 0x1d6b, 0x0002, "root hub", "usb1", 1, true},
          {UsbSlot::Receiver, RECEIVER_USB_VENDOR, RECEIVER_USB_PRODUCT, "KRV receiver", "1-1", 2,
           true},
          {UsbSlot::AudioCodec, AUDIO_CODEC_VENDOR, AUDIO_CODEC_PRODUCT, "USB Audio Device", "1-2",
           3, true},
      } {
  std::lock_guard<std::mutex> lock(mutex_);
  WriteDeviceTree();
}

SimUsbBus::~SimUsbBus() {
  if (!installed_) return;
  SimUsbBus *self = this;
  if (installed.compare_exchange_strong(self, nullptr)) UseUsbBackend(LIBUSB_OPS);
}

void SimUsbBus::Install() {
  installed = this;
  installed_ = true;
  UseUsbBackend(SIM_USB_OPS);
}

SimUsbDevice *SimUsbBus::Find(UsbSlot slot) {
  for (SimUsbDevice &d : devices_)
    if (d.slot == slot) return &d;
  return nullptr;
}

const SimUsbDevice *SimUsbBus::Find(UsbSlot slot) const {
  return const_cast<SimUsbBus *>(this)->Find(slot);
}

void SimUsbBus::SetPlugged(UsbSlot slot, bool plugged) {
  std::lock_guard<std::mutex> lock(mutex_);
  Find(slot)->plugged = plugged;
  WriteDeviceTree();
  changed_.notify_all();
}

bool SimUsbBus::Plugged(UsbSlot slot) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Find(slot)->plugged;
}

bool SimUsbBus::ReceiverPlugged() const { return Find(UsbSlot::Receiver)->plugged; }

void SimUsbBus::SetReceiverProduct(uint16_t product) {
  std::lock_guard<std::mutex> lock(mutex_);
  Find(UsbSlot::Receiver)->product = product;
  WriteDeviceTree();
}

void SimUsbBus::Stall(int n) {
  std::lock_guard<std::mutex> lock(mutex_);
  stallsLeft_ = n;
}

SimUsbCounters SimUsbBus::Counters() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counters_;
}

// The `lsusb` stand-in prints the first file; the unit's presence test reads
// the second.
void SimUsbBus::WriteDeviceTree() const {
  std::string lines;
  fs::path tree = fs::path(root_) / "sys/bus/usb/devices";
  std::error_code ec;
  for (const SimUsbDevice &d : devices_) {
    fs::path dir = tree / d.port;
    if (!d.plugged) {
      fs::remove_all(dir, ec);
      continue;
    }
    lines +=
        StrPrintf("Bus 001 Device %03d: ID %04x:%04x %s\n", d.address, d.vendor, d.product, d.name);
    fs::create_directories(dir, ec);
    WriteHex(dir / "idVendor", d.vendor);
    WriteHex(dir / "idProduct", d.product);
  }
  fs::create_directories(fs::path(root_) / "var/sim", ec);
  std::ofstream(fs::path(root_) / "var/sim/lsusb") << lines;
}

ssize_t SimUsbBus::DeviceList(libusb_device ***list) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto **out = new libusb_device *[std::size(devices_) + 1]();
  ssize_t n = 0;
  for (SimUsbDevice &d : devices_)
    if (d.plugged) out[n++] = reinterpret_cast<libusb_device *>(&d);
  *list = out;
  return n;
}

int SimUsbBus::Descriptor(libusb_device *dev, libusb_device_descriptor *desc) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimUsbDevice *d = DeviceOf(dev);
  *desc = libusb_device_descriptor{};
  desc->bLength = LIBUSB_DT_DEVICE_SIZE;
  desc->bDescriptorType = LIBUSB_DT_DEVICE;
  desc->idVendor = d->vendor;
  desc->idProduct = d->product;
  desc->bNumConfigurations = 1;
  return 0;
}

int SimUsbBus::Open(libusb_device *dev, libusb_device_handle **handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimUsbDevice *d = DeviceOf(dev);
  if (!d->plugged) return LIBUSB_ERROR_NO_DEVICE;
  *handle = reinterpret_cast<libusb_device_handle *>(new SimHandle{d});
  return 0;
}

int SimUsbBus::ControlTransfer(libusb_device_handle *handle, uint8_t request, uint16_t value,
                               uint16_t index, unsigned char *data, uint16_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  SimUsbDevice *d = HandleOf(handle)->device;
  if (!d->plugged) return LIBUSB_ERROR_NO_DEVICE;
  if (d->slot != UsbSlot::Receiver) return LIBUSB_ERROR_PIPE;
  int r = receiver_.Control(request, value, index, data, length);
  bool streaming = receiver_.Streaming();
  if (streaming && !streaming_) {
    streamStartUs_ = MonotonicMicros();
    nextWindow_ = 0;
  }
  streaming_ = streaming;
  changed_.notify_all();
  return r;
}

int SimUsbBus::Submit(libusb_transfer *transfer) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ReceiverPlugged()) return LIBUSB_ERROR_NO_DEVICE;
  if (transfer->endpoint != RECEIVER_BULK_IN || transfer->type != LIBUSB_TRANSFER_TYPE_BULK)
    return LIBUSB_ERROR_INVALID_PARAM;
  int64_t deadline = transfer->timeout ? MonotonicMicros() + transfer->timeout * 1000LL : 0;
  pending_.push_back({transfer, deadline, false});
  changed_.notify_all();
  return 0;
}

int SimUsbBus::Cancel(libusb_transfer *transfer) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Pending &p : pending_) {
    if (p.transfer != transfer || p.cancelled) continue;
    p.cancelled = true;
    changed_.notify_all();
    return 0;
  }
  return LIBUSB_ERROR_NOT_FOUND;
}

int64_t SimUsbBus::WindowDue(uint64_t window) const {
  return streamStartUs_ + int64_t(double(window + 1) * WINDOW_US);
}

void SimUsbBus::Complete(libusb_transfer *transfer, libusb_transfer_status status,
                         std::deque<libusb_transfer *> &done) {
  transfer->status = status;
  if (status != LIBUSB_TRANSFER_COMPLETED) {
    transfer->actual_length = 0;
    counters_.failed++;
  }
  done.push_back(transfer);
}

// Everything that has happened by `now`: cancellations, an unplugged
// receiver, the sample windows that are complete, time-outs.
void SimUsbBus::Collect(int64_t now, std::deque<libusb_transfer *> &done) {
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->cancelled || !ReceiverPlugged()) {
      Complete(it->transfer, it->cancelled ? LIBUSB_TRANSFER_CANCELLED : LIBUSB_TRANSFER_NO_DEVICE,
               done);
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
  while (streaming_ && now >= WindowDue(nextWindow_)) {
    uint64_t window = nextWindow_++;
    if (pending_.empty()) {
      counters_.lost++;
      continue;
    }
    libusb_transfer *t = pending_.front().transfer;
    pending_.pop_front();
    if (stallsLeft_ > 0) {
      stallsLeft_--;
      Complete(t, LIBUSB_TRANSFER_STALL, done);
      continue;
    }
    t->actual_length = std::min(t->length, RECEIVER_TRANSFER_BYTES);
    receiver_.FillWindow(window, t->buffer);
    counters_.completed++;
    Complete(t, LIBUSB_TRANSFER_COMPLETED, done);
  }
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->deadlineUs && now >= it->deadlineUs) {
      Complete(it->transfer, LIBUSB_TRANSFER_TIMED_OUT, done);
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
}

int64_t SimUsbBus::NextEvent() const {
  int64_t next = INT64_MAX;
  if (streaming_ && !pending_.empty()) next = WindowDue(nextWindow_);
  for (const Pending &p : pending_)
    if (p.deadlineUs) next = std::min(next, p.deadlineUs);
  return next;
}

// Waits up to `tv` for something to complete, then runs the callbacks on the
// calling thread with the bus unlocked, so that they may submit again.
int SimUsbBus::HandleEvents(const timeval *tv) {
  std::deque<libusb_transfer *> done;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    int64_t end = MonotonicMicros() + (tv ? tv->tv_sec * 1000000LL + tv->tv_usec : 60000000LL);
    for (;;) {
      int64_t now = MonotonicMicros();
      Collect(now, done);
      if (!done.empty() || now >= end) break;
      int64_t until = std::min(end, NextEvent());
      changed_.wait_for(lock, std::chrono::microseconds(std::max<int64_t>(until - now, 1)));
    }
  }
  for (libusb_transfer *t : done) t->callback(t);
  return 0;
}
