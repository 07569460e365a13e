#include "platform/usb.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/paths.h"

namespace {
void SetDebugLevel(libusb_context *ctx, int level) {
  libusb_set_option(ctx, LIBUSB_OPTION_LOG_LEVEL, level);
}

// The hexadecimal ID in a one-line attribute file; -1 when it cannot be read.
long ReadHexId(const std::string &path) {
  FILE *f = fopen(path.c_str(), "r");
  if (!f) return -1;
  char text[16] = {};
  bool read = fgets(text, sizeof text, f) != nullptr;
  fclose(f);
  return read ? strtol(text, nullptr, 16) : -1;
}
}  // namespace

const UsbOps LIBUSB_OPS = {
    .init = libusb_init,
    .exit = libusb_exit,
    .setDebug = SetDebugLevel,
    .getDeviceList = libusb_get_device_list,
    .freeDeviceList = libusb_free_device_list,
    .getDeviceDescriptor = libusb_get_device_descriptor,
    .open = libusb_open,
    .close = libusb_close,
    .kernelDriverActive = libusb_kernel_driver_active,
    .detachKernelDriver = libusb_detach_kernel_driver,
    .claimInterface = libusb_claim_interface,
    .releaseInterface = libusb_release_interface,
    .controlTransfer = libusb_control_transfer,
    .allocTransfer = libusb_alloc_transfer,
    .freeTransfer = libusb_free_transfer,
    .submitTransfer = libusb_submit_transfer,
    .cancelTransfer = libusb_cancel_transfer,
    .handleEventsTimeout = libusb_handle_events_timeout,
};

namespace {
UsbOps current = LIBUSB_OPS;
}  // namespace

const UsbOps &Usb() { return current; }

void UseUsbBackend(const UsbOps &ops) { current = ops; }

bool UsbDevicePresent(uint16_t vendor, uint16_t product) {
  const UsbOps &usb = Usb();
  libusb_context *ctx = nullptr;
  if (usb.init(&ctx) != 0) return false;
  usb.setDebug(ctx, LIBUSB_LOG_LEVEL_INFO);
  libusb_device **list = nullptr;
  ssize_t count = usb.getDeviceList(ctx, &list);
  bool found = false;
  for (ssize_t i = 0; i < count && !found; i++) {
    libusb_device_descriptor desc{};
    if (usb.getDeviceDescriptor(list[i], &desc) != 0) break;
    found = desc.idVendor == vendor && desc.idProduct == product;
  }
  if (count >= 0) usb.freeDeviceList(list, 1);
  usb.exit(ctx);
  return found;
}

int CountUsbDevices(uint16_t vendor, uint16_t product) {
  std::error_code ec;
  int count = 0;
  for (const auto &entry : std::filesystem::directory_iterator(GetPaths().usbDevicesDir, ec)) {
    std::string device = entry.path().string() + "/";
    if (ReadHexId(device + "idVendor") == vendor && ReadHexId(device + "idProduct") == product)
      count++;
  }
  return count;
}
