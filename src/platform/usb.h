#pragma once
// The few libusb-1.0 calls the program makes, behind one table of functions:
// libusb itself on the board, a simulated bus in the simulator and the tests.
// The callers keep libusb's own types, so the code reads as ordinary libusb
// (libusb_fill_bulk_transfer, an inline helper of libusb.h, needs no entry).
#include <libusb-1.0/libusb.h>

#include <cstdint>

struct UsbOps {
  int (*init)(libusb_context **ctx);
  void (*exit)(libusb_context *ctx);
  void (*setDebug)(libusb_context *ctx, int level);
  ssize_t (*getDeviceList)(libusb_context *ctx, libusb_device ***list);
  void (*freeDeviceList)(libusb_device **list, int unrefDevices);
  int (*getDeviceDescriptor)(libusb_device *dev, libusb_device_descriptor *desc);
  int (*open)(libusb_device *dev, libusb_device_handle **handle);
  void (*close)(libusb_device_handle *handle);
  int (*kernelDriverActive)(libusb_device_handle *handle, int interface);
  int (*detachKernelDriver)(libusb_device_handle *handle, int interface);
  int (*claimInterface)(libusb_device_handle *handle, int interface);
  int (*releaseInterface)(libusb_device_handle *handle, int interface);
  int (*controlTransfer)(libusb_device_handle *handle, uint8_t requestType, uint8_t request,
                         uint16_t value, uint16_t index, unsigned char *data, uint16_t length,
                         unsigned int timeoutMs);
  libusb_transfer *(*allocTransfer)(int isoPackets);
  void (*freeTransfer)(libusb_transfer *transfer);
  int (*submitTransfer)(libusb_transfer *transfer);
  int (*cancelTransfer)(libusb_transfer *transfer);
  // Runs the completions that are due on the calling thread, waiting at most
  // `tv` for one.
  int (*handleEventsTimeout)(libusb_context *ctx, timeval *tv);
};

// libusb-1.0 itself.
extern const UsbOps LIBUSB_OPS;

// The table every USB user calls through.
const UsbOps &Usb();
// Set once before the threads start (the simulator, the tests).
void UseUsbBackend(const UsbOps &ops);

// Whether a device with these IDs is on the bus, by libusb's own device list
// (a context of its own, released again).
bool UsbDevicePresent(uint16_t vendor, uint16_t product);

// How many devices with these IDs the kernel lists under its USB device tree
// (GetPaths().usbDevicesDir): cheap enough to ask many times a second.
int CountUsbDevices(uint16_t vendor, uint16_t product);
