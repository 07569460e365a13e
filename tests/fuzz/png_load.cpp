// Background pictures are files from outside the program: any bytes in the
// file must be refused or loaded without a write outside the buffers.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "display/image.h"
#include "platform/display_device.h"
#include "platform/paths.h"

namespace {
struct Target {
  std::string root;
  std::unique_ptr<Works> works = std::make_unique<Works>();
  std::unique_ptr<FrameBuffer> fb;
};

void RemoveRoot();

Target &Get() {
  static Target *t = [] {
    auto *target = new Target;
    char dir[] = "/tmp/kestra-fuzz-png-XXXXXX";
    target->root = mkdtemp(dir);
    std::filesystem::create_directories(target->root + "/dev");
    std::filesystem::create_directories(target->root + "/opt/Kestra");
    SetPaths(PathsUnder(target->root));
    UseMemoryDisplay();
    LogCapture quiet;
    target->fb = fbInit();
    target->works->display.fb = target->fb.get();
    snprintf(target->works->display.imageName, sizeof target->works->display.imageName, "fuzz");
    atexit(RemoveRoot);
    return target;
  }();
  return *t;
}

void RemoveRoot() {
  std::error_code ec;
  std::filesystem::remove_all(Get().root, ec);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Target &t = Get();
  if (!t.fb) abort();
  std::string file = GetPaths().picturesDir + "/fuzz.png";
  FILE *out = fopen(file.c_str(), "wb");
  if (!out) abort();
  fwrite(data, 1, size, out);
  fclose(out);
  LogCapture quiet;
  // Both targets: the background, and the work buffer shown at once.
  getPng(t.works.get(), size % 2 == 0);
  return 0;
}
