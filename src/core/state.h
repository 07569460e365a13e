#pragma once
// Lifecycle, start-up and periodic-timer slice of the shared record.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

struct CoreState {
  std::atomic<int32_t> running{0};  // 1 while the program runs
  char version[8]{};                // program version text

  // Port failure shown by the timer: >0 show linkErrMsg, −1 restore the screen.
  std::atomic<int32_t> linkErrState{0};
  std::mutex linkErrMutex;  // guards linkErrMsg (written by the links, read by the timer)
  char linkErrMsg[100]{};

  std::atomic<time_t> lastActivity{0};  // last user activity (screensaver)
  std::atomic<uint8_t> remoteActive{0};
  std::atomic<uint8_t> initDone{0};
  std::atomic<uint8_t> lanInfoBusy{0};
  std::atomic<time_t> lanInfoTime{0};
  std::atomic<uint8_t> softwareUpdate{0};  // a newer user-interface version exists

  // Periodic timer.
  std::atomic<int32_t> timerPeriod{0};  // µs pause at the end of each pass
  std::atomic<uint8_t> screenSaverOn{0};
  std::atomic<int32_t> tavoTx{0};     // companion transceiver reports transmission
  std::atomic<uint32_t> lastFreq{0};  // frequency the settings were last applied for
  std::atomic<int32_t> forceFreq{0};  // −1 forces a re-application on the next pass
  std::atomic<uint8_t> redraw{0};     // reload the main background on the next pass
  double tempLogTimer = 0;            // ms since the last temperature-log line (timer only)

  // Length of a second of the start-up pauses (the countdown among them) and
  // of the closing pause; a simulator run may shorten them.
  std::atomic<int32_t> pauseSecondMs{1000};

  // What main returns; a device failure that ends the unit sets it.
  std::atomic<int32_t> exitStatus{0};
};

// Cursor positions of the menu's address editors.
extern int CntIP, CntDNS, CntNetMask, CntGateway;
// Seconds of the start-up countdown; 1 while it runs.
extern std::atomic<int32_t> waitTAVO;
extern std::atomic<int32_t> startInitThread;

// Sets the port-failure text and state together.
struct Works;
void SetLinkError(Works *works, const std::string &message);
std::string GetLinkErrorMessage(Works *works);
