#pragma once
// The screen behind the frame-buffer record: the Linux frame-buffer device on
// the target, or an 800 × 480 × 32 screen in memory in the simulator and the
// tests. This is the one place that opens the device, does its ioctls and
// maps it; the drawing code sees only the mapped bytes.
#include <linux/fb.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MemoryScreenFormat {
  uint32_t width = 800;
  uint32_t height = 480;
  uint32_t bitsPerPixel = 32;
};

// From now on every opened display is a fresh memory screen of this format.
void UseMemoryDisplay(const MemoryScreenFormat &format = {});
// Back to the frame-buffer device (the product never leaves it).
void UseDeviceDisplay();

// One opened display: keeps the descriptor and the mapping until it is
// closed or destroyed.
class DisplayDevice {
 public:
  DisplayDevice() = default;
  ~DisplayDevice();
  DisplayDevice(const DisplayDevice &) = delete;
  DisplayDevice &operator=(const DisplayDevice &) = delete;

  bool Open(const std::string &path);  // read and write
  bool GetScreenInfo(fb_var_screeninfo &info);
  bool PutScreenInfo(fb_var_screeninfo &info);
  // `size` bytes from offset 0, shared, read and write; null on failure.
  uint8_t *Map(size_t size);
  void Close();

 private:
  int fd_ = -1;
  bool memory_ = false;
  MemoryScreenFormat memoryFormat_;
  std::vector<uint8_t> memoryScreen_;
  uint8_t *map_ = nullptr;
  size_t mapSize_ = 0;
};
