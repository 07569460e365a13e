// Feeds a byte stream through the remote link's frame reader and message
// handling, as if a peer had sent it: the first byte picks the end (server
// or client) and whether the password was already accepted.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "display/frame_buffer.h"
#include "fuzz_record.h"
#include "platform/display_device.h"
#include "platform/paths.h"
#include "remote/ws_frame.h"
#include "remote/ws_messages.h"
#include "settings/setup_record.h"

namespace {
struct Stream {
  const uint8_t *data;
  size_t size, at;
};

bool ReadStream(void *context, uint8_t *buf, size_t n, bool) {
  auto *s = static_cast<Stream *>(context);
  if (n > s->size - s->at) return false;
  memcpy(buf, s->data + s->at, n);
  s->at += n;
  return true;
}

void NoSleep(int64_t) {}

// Every file and outside program of the unit stays in a directory of its
// own, where no outside program exists; the screen is small enough for
// whole images to be found.
struct Setting {
  Setting() {
    char dir[] = "/tmp/kestra-fuzz-ws-XXXXXX";
    if (mkdtemp(dir)) {
      root = dir;
      std::filesystem::create_directories(root + "/dev");
      SetPaths(PathsUnder(root));
      setenv("PATH", dir, 1);
    }
    UseMemoryDisplay({16, 8, 32});
    fb = fbInit();
    SetClockSource(
        {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, NoSleep});
    sink = open("/dev/null", O_WRONLY);
  }
  ~Setting() {
    std::error_code ec;
    if (!root.empty()) std::filesystem::remove_all(root, ec);
  }
  std::string root;
  std::unique_ptr<FrameBuffer> fb;
  int sink = -1;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static Setting setting;
  if (size < 1) return 0;
  auto record = std::make_unique<FuzzRecord>();
  Works *works = record->works.get();
  LogCapture quiet;
  initSetup(works);
  works->display.fb = setting.fb.get();
  works->trx.catFD = setting.sink;
  works->trx.serFD = setting.sink;
  works->cfg.setup->EnableWrite = '1';

  WsSession session(data[0] & 1 ? WsRole::Client : WsRole::Server);
  if (data[0] & 2) session.authenticated = true;
  Stream stream{data + 1, size - 1, 0};
  WsSource source{ReadStream, &stream};
  auto frame = std::make_unique<WsFrame>();
  const WsReadTexts &texts =
      session.role == WsRole::Server ? WS_SERVER_READ_TEXTS : WS_CLIENT_READ_TEXTS;
  while (ReadWsFrame(source, *frame, texts) == WsRead::Frame &&
         HandleWsFrame(works, session, *frame) == WsAction::Keep) {
  }
  return 0;
}
