#include "platform/display_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <mutex>

namespace {
struct MemoryDisplay {
  bool active = false;
  MemoryScreenFormat format;
};

std::mutex memoryMutex;
MemoryDisplay memoryDisplay;

fb_var_screeninfo MemoryScreenInfo(const MemoryScreenFormat &format) {
  fb_var_screeninfo info{};
  info.xres = info.xres_virtual = format.width;
  info.yres = info.yres_virtual = format.height;
  info.bits_per_pixel = format.bitsPerPixel;
  return info;
}
}  // namespace

void UseMemoryDisplay(const MemoryScreenFormat &format) {
  std::lock_guard<std::mutex> lock(memoryMutex);
  memoryDisplay.active = true;
  memoryDisplay.format = format;
}

void UseDeviceDisplay() {
  std::lock_guard<std::mutex> lock(memoryMutex);
  memoryDisplay.active = false;
}

DisplayDevice::~DisplayDevice() { Close(); }

bool DisplayDevice::Open(const std::string &path) {
  Close();
  {
    std::lock_guard<std::mutex> lock(memoryMutex);
    memory_ = memoryDisplay.active;
    memoryFormat_ = memoryDisplay.format;
  }
  if (memory_) return true;
  fd_ = open(path.c_str(), O_RDWR | O_CLOEXEC);
  return fd_ >= 0;
}

bool DisplayDevice::GetScreenInfo(fb_var_screeninfo &info) {
  if (memory_) {
    info = MemoryScreenInfo(memoryFormat_);
    return true;
  }
  return fd_ >= 0 && ioctl(fd_, FBIOGET_VSCREENINFO, &info) == 0;
}

bool DisplayDevice::PutScreenInfo(fb_var_screeninfo &info) {
  if (memory_) return true;
  return fd_ >= 0 && ioctl(fd_, FBIOPUT_VSCREENINFO, &info) == 0;
}

uint8_t *DisplayDevice::Map(size_t size) {
  if (memory_) {
    // The memory screen belongs to this opened display, like a mapping.
    const MemoryScreenFormat &f = memoryFormat_;
    if (size == 0 || size > size_t(f.width) * f.height * f.bitsPerPixel / 8) return nullptr;
    memoryScreen_.assign(size, 0);
    return memoryScreen_.data();
  }
  if (fd_ < 0) return nullptr;
  void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (p == MAP_FAILED) return nullptr;
  map_ = static_cast<uint8_t *>(p);
  mapSize_ = size;
  return map_;
}

void DisplayDevice::Close() {
  if (map_) munmap(map_, mapSize_);
  map_ = nullptr;
  mapSize_ = 0;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  memory_ = false;
  memoryScreen_.clear();
  memoryScreen_.shrink_to_fit();
}
