#pragma once
// Amplifier link, reply, error and temperature slices of the shared record.
#include <atomic>
#include <cstdint>
#include <mutex>

constexpr int CMD_QUEUE_SIZE = 30;
constexpr int LINK_RX_SIZE = 512;  // receive buffer of the link thread
constexpr int FIRMWARE_VERSION_LEN = 7;
constexpr int GENERIC_SETTINGS_LEN = 10;
constexpr int CONFIG_PAGE_LEN = 32;

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
  std::atomic<int32_t> statusPolls{0};  // "ST" replies decoded since start
  std::atomic<int32_t> retryStops{0};
  std::atomic<int32_t> commErrHoldoff{0};  // ms during which error 4 is not reported again
  std::atomic<uint8_t> tuneValLock{0};
  std::atomic<uint32_t> currentFreq{0};   // frequency sent with "FA"
  std::atomic<uint32_t> measuredFreq{0};  // amplifier's frequency counter ("FM")
  std::atomic<uint8_t> atuBypass{0};
  std::atomic<uint8_t> ampBypass{0};
  std::atomic<int32_t> anValue{0};
  std::atomic<uint8_t> tuneStateDigit{0};  // from the "TU" reply
  std::atomic<uint8_t> statusA{0}, statusB{0}, statusC{0};
  // The link's state machine: a command state to send, 2 wait for the reply,
  // 3 decode it. Other threads write it only to leave the parked states.
  std::atomic<int32_t> linearProcessStatus{1};
  std::atomic<int64_t> lastWriteMicros{0};  // monotonic time of the last write (reply time-out)
  char lastCmdLetters[2]{'S', 'T'};         // names the last command in messages (link only)
  std::atomic<int32_t> lastCmdState{1};     // state of the last command sent, for a resend
  char rxBuf[LINK_RX_SIZE + 1]{};           // reply bytes so far (link only)
  int rxCount = 0;

  std::atomic<uint8_t> bypassCmd{0};        // 1 after "AB1;", 0 after "AB0;"
  std::atomic<int32_t> fanLevelSent{0};     // last level sent with "FN1"
  std::atomic<uint8_t> microResetFlags{0};  // bit 0 reset reported, bit 1 error 16 raised

  // Texts of the replies, read by the screens: under textMutex.
  std::mutex textMutex;
  char firmwareVersion[FIRMWARE_VERSION_LEN + 1]{};  // "VSM" reply
  char genericSettings[GENERIC_SETTINGS_LEN + 1]{};  // "GS" reply, sent back with command 35
  uint8_t configPage[2][CONFIG_PAGE_LEN]{};          // "ER" pages 0 and 1

  std::atomic<uint8_t> ampConfig[2]{};  // configuration bytes of the "EE2" reply

  // Measured values of the last "ST" reply, written only by the link thread.
  std::atomic<uint16_t> rawPwin{0}, rawFwd{0}, rawRefl{0};
  std::atomic<float> pwrIn{0};    // W
  std::atomic<float> pwrFwd{0};   // W
  std::atomic<float> pwrRefl{0};  // W
  std::atomic<float> pwrInPeak{0};
  std::atomic<float> swr{0};              // 0 or 1.0..100.0
  std::atomic<float> currentRaw{0};       // converter count as received
  std::atomic<float> temp1{0}, temp2{0};  // smoothed, degrees Celsius
  std::atomic<uint8_t> attReported{0};    // from the "AT" reply
  std::atomic<uint8_t> attDisplay{0};     // attenuator display state: 0..3 a step, 4 stand-by
};

// The 120 W unit: power-class byte '1' in the configuration reply.
inline bool HighPowerVariant(const LinkState &l) { return l.ampConfig[1] == '1'; }

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
  std::atomic<uint8_t> fanPending{0};           // a fan command is queued and not sent yet
  std::atomic<float> cpuTemp1{0}, cpuTemp2{0};  // processor temperatures ("my_temp")
};
