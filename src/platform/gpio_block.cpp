#include "platform/gpio_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/paths.h"

namespace {
std::atomic<GpioBus *> simulated{nullptr};

// The block sits at this address on these two processors only; anywhere else
// the same physical address is ordinary memory, which must never be written.
bool OnKnownBoard() {
  std::ifstream in(GetPaths().boardCompatible, std::ios::binary);
  std::string names((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return names.find("brcm,bcm2836") != std::string::npos ||
         names.find("brcm,bcm2837") != std::string::npos;
}
}  // namespace

void UseSimulatedGpio(GpioBus *bus) { simulated = bus; }

GpioBlock::~GpioBlock() {
  if (regs_) munmap(const_cast<uint32_t *>(regs_), GPIO_BLOCK_BYTES);
}

GpioOpen GpioBlock::Open(int &error) {
  error = 0;
  bus_ = simulated.load();
  if (bus_) return GpioOpen::Ok;
  if (!OnKnownBoard()) return GpioOpen::NotThisBoard;
  int fd = open(GetPaths().physMem.c_str(), O_RDWR | O_SYNC | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return GpioOpen::OpenFailed;
  }
  void *map =
      mmap(nullptr, GPIO_BLOCK_BYTES, PROT_READ | PROT_WRITE, MAP_SHARED, fd, GPIO_BLOCK_ADDRESS);
  error = errno;
  close(fd);
  if (map == MAP_FAILED) return GpioOpen::MapFailed;
  error = 0;
  regs_ = static_cast<volatile uint32_t *>(map);
  return GpioOpen::Ok;
}

uint32_t GpioBlock::Read(uint32_t offset) const {
  return bus_ ? bus_->Read(offset) : regs_[offset / sizeof(uint32_t)];
}

void GpioBlock::Write(uint32_t offset, uint32_t value) {
  if (bus_)
    bus_->Write(offset, value);
  else
    regs_[offset / sizeof(uint32_t)] = value;
}
