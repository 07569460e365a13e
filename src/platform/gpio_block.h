#pragma once
// The processor's GPIO register block: mapped from physical memory on the
// board, or a simulated block (the simulator, the tests) that sees every
// register access. The front-panel code reads and writes 32-bit registers
// through here and never touches the mapping itself.
#include <cstdint>

// Register byte offsets of the block and the function-select codes.
constexpr uint32_t GPIO_FSEL0 = 0x00;  // lines 0-9, 3 bits each; FSEL1, FSEL2 follow
constexpr uint32_t GPIO_SET0 = 0x1C;
constexpr uint32_t GPIO_CLR0 = 0x28;
constexpr uint32_t GPIO_LEV0 = 0x34;
constexpr uint32_t GPIO_PUD = 0x94;
constexpr uint32_t GPIO_PUDCLK0 = 0x98;
constexpr uint32_t GPIO_FSEL_INPUT = 0, GPIO_FSEL_OUTPUT = 1;
constexpr uint32_t GPIO_PUD_OFF = 0, GPIO_PUD_DOWN = 1, GPIO_PUD_UP = 2;
constexpr uint32_t GPIO_BLOCK_BYTES = 4096;
constexpr uint32_t GPIO_BLOCK_ADDRESS = 0x3F200000;

// A register block that is not memory: each access is a call.
class GpioBus {
 public:
  virtual ~GpioBus() = default;
  virtual uint32_t Read(uint32_t offset) = 0;
  virtual void Write(uint32_t offset, uint32_t value) = 0;
};

// From now on every GPIO block opened is `bus` (null: the mapped block again;
// the product never leaves it).
void UseSimulatedGpio(GpioBus *bus);

enum class GpioOpen { Ok, NotThisBoard, OpenFailed, MapFailed };

class GpioBlock {
 public:
  GpioBlock() = default;
  ~GpioBlock();
  GpioBlock(const GpioBlock &) = delete;
  GpioBlock &operator=(const GpioBlock &) = delete;

  // Maps the block (or takes the simulated one); `error` is errno on failure.
  GpioOpen Open(int &error);
  uint32_t Read(uint32_t offset) const;
  void Write(uint32_t offset, uint32_t value);

 private:
  GpioBus *bus_ = nullptr;
  volatile uint32_t *regs_ = nullptr;
};
