#include "display/frame_buffer.h"

#include <cstring>
#include <new>

#include "core/log.h"
#include "display/screen_observer.h"
#include "platform/paths.h"
#include "platform/shell.h"

namespace {
// Bytes per pixel by bits per pixel; 0 for a format the display cannot use.
uint32_t PixelSizeFor(uint32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 4:
    case 8:
      return 1;
    case 5:
    case 15:
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

// The console shares the display: its text cursor would blink over the screens.
void HideConsoleCursor() { RunShell("/bin/echo -e -n '\x1b[?25l' >" + GetPaths().console); }

bool ReadScreenInfo(FrameBuffer *fb, fb_var_screeninfo &info) {
  if (fb->device.GetScreenInfo(info)) return true;
  LogSys(LOG_PRIO_ERR, "Unable to read screen info.\n");
  LogSys(LOG_PRIO_ERR, "Do you have read+write privilages to /dev/fb0?\n");
  fb->device.Close();
  return false;
}

// Shows the first page of the device; double buffering is done in memory.
bool ResetScreenOffsets(FrameBuffer *fb, fb_var_screeninfo &info) {
  info.xoffset = 0;
  info.yoffset = 0;
  if (fb->device.PutScreenInfo(info)) return true;
  LogSys(LOG_PRIO_ERR, "Unable to change screen data\n");
  LogSys(LOG_PRIO_ERR, "Do you have write privilages to /dev/fb0?\n");
  LogSys(LOG_PRIO_ERR, "Does your video card support double buffering?\n");
  fb->device.Close();
  return false;
}

bool MapScreen(FrameBuffer *fb) {
  fb->screen = fb->device.Map(fb->memSize);
  if (fb->screen) return true;
  LogSys(LOG_PRIO_ERR, "Unable to map shared memory\n");
  LogSys(LOG_PRIO_ERR,
         "Make sure, that you have compiled shared memory support into your kernel.\n");
  fb->device.Close();
  return false;
}

bool AllocateBuffers(FrameBuffer *fb) {
  fb->workStore.reset(new (std::nothrow) uint8_t[fb->memSize]);
  fb->backStore.reset(new (std::nothrow) uint8_t[fb->memSize]);
  if (!fb->workStore || !fb->backStore) {
    LogSys(LOG_PRIO_ERR, "Unable to allocate framebuffer structure");
    return false;
  }
  fb->work = fb->workStore.get();
  fb->back = fb->backStore.get();
  return true;
}
}  // namespace

std::unique_ptr<FrameBuffer> fbInit() {
  HideConsoleCursor();
  std::unique_ptr<FrameBuffer> fb(new (std::nothrow) FrameBuffer);
  if (!fb) {
    LogSys(LOG_PRIO_ERR, "Unable to allocate framebuffer structure");
    return nullptr;
  }
  const std::string &path = GetPaths().frameBuffer;
  if (!fb->device.Open(path)) {
    LogSys(LOG_PRIO_ERR, "Unable to read framebuffer device: %s\n", path.c_str());
    return nullptr;
  }
  fb_var_screeninfo info{};
  if (!ReadScreenInfo(fb.get(), info) || !ResetScreenOffsets(fb.get(), info)) return nullptr;
  fb->pixelSize = PixelSizeFor(info.bits_per_pixel);
  if (fb->pixelSize == 0) {
    LogSys(LOG_PRIO_ERR, "Unknown pixel format");
    return nullptr;
  }
  LogSys(LOG_PRIO_INFO, "Pixel size =%d", int(fb->pixelSize));
  fb->width = static_cast<uint16_t>(info.xres);
  fb->height = static_cast<uint16_t>(info.yres);
  fb->memSize = (uint32_t(fb->width) * uint32_t(fb->height) * info.bits_per_pixel) >> 3;
  fb->lineSize = uint32_t(fb->width) * fb->pixelSize;
  if (!MapScreen(fb.get()) || !AllocateBuffers(fb.get())) return nullptr;
  LogSys(LOG_PRIO_INFO, "Screen Size x: %d, y: %d, Pixel Size %d Line size: %d, Mem size: %d\n",
         fb->width, fb->height, int(fb->pixelSize), int(fb->lineSize), int(fb->memSize));
  return fb;
}

ScreenObserver screenObserver;

void fbRealize(FrameBuffer *fb) {
  memcpy(fb->screen, fb->work, fb->memSize);
  if (screenObserver.screenShown) screenObserver.screenShown();
}

void fbSetBack(FrameBuffer *fb) {
  memcpy(fb->work, fb->back, fb->memSize);
  if (screenObserver.screenStarted) screenObserver.screenStarted();
}
