#pragma once
// The unit's simulated USB bus: a root hub, the companion receiver and the
// companion transceiver's USB audio codec. It lists what is plugged in as
// the kernel would (the `lsusb` stand-in's file and a device tree with
// idVendor/idProduct), and stands in for libusb (UsbOps): device list,
// vendor requests to the receiver and its bulk IQ transfers, completed in
// real time on the thread that handles events.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "platform/usb.h"
#include "sim/receiver/receiver_model.h"

enum class UsbSlot { RootHub, Receiver, AudioCodec };

struct SimUsbDevice {
  UsbSlot slot;
  uint16_t vendor, product;
  const char *name;
  const char *port;  // its directory in the device tree
  int address;
  bool plugged;
};

struct SimUsbCounters {
  long long completed = 0;  // transfers that carried samples
  long long lost = 0;       // sample windows that found no transfer waiting
  long long failed = 0;     // transfers that completed with an error
};

class SimUsbBus {
 public:
  explicit SimUsbBus(const std::string &root);
  ~SimUsbBus();  // gives libusb back its place
  SimUsbBus(const SimUsbBus &) = delete;
  SimUsbBus &operator=(const SimUsbBus &) = delete;

  // The unit's USB calls come here from now on.
  void Install();
  void SetPlugged(UsbSlot slot, bool plugged);
  bool Plugged(UsbSlot slot) const;
  // The receiver answers as another model of its family.
  void SetReceiverProduct(uint16_t product);
  // The next `n` transfers complete with a stall instead of samples.
  void Stall(int n);
  ReceiverModel &Receiver() { return receiver_; }
  SimUsbCounters Counters() const;

  // libusb's calls, as this bus answers them.
  ssize_t DeviceList(libusb_device ***list);
  int Descriptor(libusb_device *dev, libusb_device_descriptor *desc);
  int Open(libusb_device *dev, libusb_device_handle **handle);
  int ControlTransfer(libusb_device_handle *handle, uint8_t request, uint16_t value, uint16_t index,
                      unsigned char *data, uint16_t length);
  int Submit(libusb_transfer *transfer);
  int Cancel(libusb_transfer *transfer);
  int HandleEvents(const timeval *tv);

 private:
  struct Pending {
    libusb_transfer *transfer;
    int64_t deadlineUs;  // 0: no time-out
    bool cancelled;
  };

  SimUsbDevice *Find(UsbSlot slot);
  const SimUsbDevice *Find(UsbSlot slot) const;
  bool ReceiverPlugged() const;  // under mutex_
  int64_t WindowDue(uint64_t window) const;
  void Collect(int64_t now, std::deque<libusb_transfer *> &done);  // under mutex_
  void Complete(libusb_transfer *transfer, libusb_transfer_status status,
                std::deque<libusb_transfer *> &done);
  int64_t NextEvent() const;     // under mutex_
  void WriteDeviceTree() const;  // under mutex_

  std::string root_;
  ReceiverModel receiver_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  SimUsbDevice devices_[3];
  std::deque<Pending> pending_;
  bool streaming_ = false;
  int64_t streamStartUs_ = 0;
  uint64_t nextWindow_ = 0;
  int stallsLeft_ = 0;
  SimUsbCounters counters_;
  bool installed_ = false;
};
