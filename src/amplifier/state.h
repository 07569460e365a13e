#pragma once
// Amplifier link, reply, error and temperature slices of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

constexpr int CMD_QUEUE_SIZE = 30;

struct LinkState {
  std::atomic<int32_t> linFD{-1};
  // Command queue: many producers (serialised by cmdQueueMutex), one consumer.
  std::atomic<int32_t> cmdQueue[CMD_QUEUE_SIZE]{};
  std::atomic<int32_t> cmdQueueRd{0};
  std::atomic<int32_t> cmdQueueWr{0};
  std::atomic<uint8_t> cmdPriority{0};
  std::mutex cmdQueueMutex;
  std::atomic<int32_t> retryCount{0};
  std::atomic<int32_t> retryTotal{0};
  std::atomic<int32_t> retryStops{0};
  std::atomic<int32_t> commErrHoldoff{0};  // ms during which error 4 is not reported again
  std::atomic<uint8_t> tuneValLock{0};
  std::atomic<uint32_t> currentFreq{0};  // frequency sent with "FA"
  std::atomic<uint32_t> measuredFreq{0}; // amplifier's frequency counter ("FM")
  std::atomic<uint8_t> atuBypass{0};
  std::atomic<uint8_t> ampBypass{0};
  std::atomic<int32_t> anValue{0};
  std::atomic<uint8_t> tuneStateDigit{0};  // from the "TU" reply
  std::atomic<uint8_t> statusA{0}, statusB{0}, statusC{0};
  std::atomic<uint8_t> ampConfig[2]{};  // configuration bytes of the "EE2" reply

  // Measured values of the last "ST" reply, written only by the link thread.
  std::atomic<uint16_t> rawPwin{0}, rawFwd{0}, rawRefl{0};
  std::atomic<float> pwrIn{0};    // W
  std::atomic<float> pwrFwd{0};   // W
  std::atomic<float> pwrRefl{0};  // W
  std::atomic<float> pwrInPeak{0};
  std::atomic<float> swr{0};         // 0 or 1.0..100.0
  std::atomic<float> currentRaw{0};  // converter count as received
  std::atomic<float> temp1{0}, temp2{0};  // smoothed, degrees Celsius
  std::atomic<uint8_t> attReported{0};    // from the "AT" reply
  std::atomic<uint8_t> attDisplay{0};     // attenuator display state: 0..3 a step, 4 stand-by
};

constexpr int ERROR_CODES = 27;

// Fixed descriptor of an error code: how it is shown and cleared, and its
// two caption lines.
struct ErrorDescr {
  uint8_t flags;  // bit 0 error (red) else warning, bit 1 protection, bit 2 temporary
  char line1[30];
  char line2[30];
};

struct ErrorState {
  // The list and the descriptors' second lines change from several threads;
  // the lock keeps every add and delete whole.
  std::mutex errMutex;
  int32_t errList[ERROR_CODES]{};
  int32_t errCount = 0;
  ErrorDescr errDescr[ERROR_CODES]{};
  std::atomic<uint8_t> protState{0};  // bit 0 reset needed, bit 1 display cleared, bit 2 temporary
  std::atomic<uint8_t> errMask{0};    // bit 0: adding errors is suppressed
  std::atomic<uint8_t> errResend{0};  // 0 idle, 1 reset queued, 2 queue drained
};

struct ThermalState {
  std::atomic<int32_t> fanLevel{0};
  std::atomic<int32_t> fanCurveLast{0};  // −1 before the first curve result
  std::atomic<int32_t> cpuFanLevel{0};
  std::atomic<int32_t> cpuFanLast{0};
};
