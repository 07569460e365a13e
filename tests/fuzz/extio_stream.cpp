// Feeds a byte stream through the extended-IO link's message loop, as if the
// transceiver had sent it, until the stream runs dry.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/clock.h"
#include "core/log.h"
#include "core/works.h"
#include "fuzz_record.h"
#include "settings/setup_record.h"
#include "transceiver/ext_io.h"

namespace {
Works *current = nullptr;

// The loop sleeps only when no byte waits: the stream is over.
void EndOfStream(int64_t) { WriteSetupFlag(current->cfg.setup->extIoRun, '0'); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 60000) size = 60000;  // stays within the socket's buffer
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  if (write(fds[1], data, size) != static_cast<ssize_t>(size)) {
    close(fds[0]);
    close(fds[1]);
    return 0;
  }
  auto record = std::make_unique<FuzzRecord>();
  Works *works = record->works.get();
  works->cfg.setup->extIoRun = '1';
  works->core.running = 1;
  works->tuner.modeWorkIdx = 1;
  works->cfg.AutoTuneMode = 0x24;                            // both handshake requests pending
  works->tuner.autoAntFlags = TEST_TX_REQUEST | TEST_TX_ON;  // and a manual transmit
  works->trx.serFD = fds[0];
  current = works;

  LogCapture quiet;
  ClockSource previous = SetClockSource(
      {realClock.processMicros, realClock.monotonicMicros, realClock.wallSeconds, EndOfStream});
  ServeExtIoLink(works);
  SetClockSource(previous);
  close(fds[0]);
  close(fds[1]);
  return 0;
}
