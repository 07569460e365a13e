#pragma once
// User-interface slice of the shared record and the meter and plot globals.
#include <atomic>
#include <cstdint>
#include <ctime>

// uiFlags: pages shown over the main screen.
constexpr uint8_t UI_INFO_PAGES = 0x01, UI_MEMORY_TABLE = 0x02, UI_FILTER_TABLE = 0x04;

// uiState, the screen the keys act on.
enum UiScreen : int32_t {
  UI_STATE_MAIN = 0,
  UI_STATE_MENU = 1,       // browsing the menu
  UI_STATE_MENU_EDIT = 2,  // editing a menu value
  UI_STATE_TUNE = 3,
  UI_STATE_MANUAL = 4,  // manual tune
  UI_STATE_RETRY = 5,   // port failure, Retry / Cancel (not entered)
  UI_STATE_MEMORY = 6,  // memory table
  UI_STATE_MEMORY_EDIT = 7,
  UI_STATE_SAVE_TUNE = 8,
  UI_STATE_BANK_UTIL = 9,
  UI_STATE_COPY = 10,
  UI_STATE_RESET = 11,
  UI_STATE_FILTERS = 12,
  UI_STATE_INFO = 13,
};

// Bits of uiMessage, the messages the screens show.
constexpr uint8_t UI_MSG_LONG_PRESS = 0x01;        // "Entering second function..."
constexpr uint8_t UI_MSG_BYPASS_NOT_SAVED = 0x02;  // "ATU ByPass not saved!"
constexpr uint8_t UI_MSG_REMOTE_NOT_STARTED = 0x04;
constexpr uint8_t UI_MSG_UI_UPDATE = 0x08;

// The button bar's captions: one page per screen state, two lines of each
// of the six keys, blank-padded on the left so that they sit centred.
constexpr int BUTTON_KEYS = 6, CAPTION_LINES = 2, CAPTION_SIZE = 12, CAPTION_PAGES = 16;
// Flag bits of a page: the key has a long-press function (a mark under it).
constexpr uint8_t PAGE_LONG_KEY1 = 0x01, PAGE_LONG_KEY6 = 0x20;
struct ButtonPage {
  char text[BUTTON_KEYS][CAPTION_LINES][CAPTION_SIZE];
  uint8_t flags;
};

struct UiState {
  std::atomic<int32_t> mainWindow{0};  // main-window mode 1..5
  std::atomic<uint8_t> uiFlags{0};     // UI_INFO_PAGES, UI_MEMORY_TABLE, UI_FILTER_TABLE
  std::atomic<int32_t> uiState{0};     // screen state: 0 main screen … 13 information pages
  // Messages of the status area: bit 0 a long press is about to fire
  // (UI_MSG_LONG_PRESS), bit 1 "ATU ByPass not saved!", bit 2 remote not
  // started, bit 3 UI update requested.
  std::atomic<uint8_t> uiMessage{0};
  // Fields of the screens the keys lead to: the memory table's row and
  // column being edited (−1 none), the save screen's bank and antenna, the
  // copy screen's banks, the reset screen's bank (MAXbank: all of them).
  std::atomic<int32_t> tableRow{0}, tableColumn{-1};
  std::atomic<int32_t> saveBank{0}, saveAntenna{0};
  std::atomic<int32_t> copySource{0}, copyDest{0}, resetBank{0};
  // MANUAL's short press on the tune screen toggles it; cleared when that
  // screen is entered from, or left to, the main screen.
  std::atomic<uint8_t> manualMode{0};
  // The captions by screen state, read and written under the display lock.
  ButtonPage Koramenu[CAPTION_PAGES]{};
  std::atomic<int32_t> menuIndex{0};
  std::atomic<int32_t> menuItem{0};
  std::atomic<int32_t> menuCount{0};
  // Menu values that are no setting: the filter-table switch, the factory
  // default and the turn-off toggles.
  std::atomic<uint8_t> filterSwitch{0}, factoryDefault{0}, turnOffHardware{0};
  std::atomic<int32_t> plotSpan{0};  // Hz: 160000 in mode 4, 80000 in mode 5

  // Meters, drawn by the timer: needle angles (radians), held peaks (the
  // forward one in watts, the second in its meter's units), hold time left
  // (ms) and decay cycle counters.
  std::atomic<float> fwdAngle{0}, auxAngle{0}, fwdPeakAngle{0}, auxPeakAngle{0};
  std::atomic<float> fwdPeak{0}, auxPeak{0};
  std::atomic<int32_t> fwdPeakHold{0}, auxPeakHold{0}, fwdPeakCount{0}, auxPeakCount{0};
  // The second meter changed its quantity: its peak restarts from the value.
  std::atomic<uint8_t> auxPeakRestart{0};
  // The forward peak is fed from the second meter cycle on.
  std::atomic<uint8_t> fwdPeakFed{0};

  // Date and time ("%Y-%m-%d %H:%M:%S", local), refreshed once a second by
  // the timer, which alone reads and writes it.
  char dateTime[80]{};
  time_t dateTimeSecond = -1;
};

// Meter scales and peak-hold behaviour.
extern std::atomic<int32_t> number_ofStep_meter_FWD;
extern std::atomic<int32_t> number_ofStep_meter_REFL;
extern std::atomic<int32_t> number_ofStep_meter_SWR;
extern std::atomic<int32_t> number_ofStep_meter_PW;
extern std::atomic<int32_t> fattoremedia;
extern std::atomic<double> PeakDecrement;
extern std::atomic<int32_t> PeakDecrementTime;
extern std::atomic<int32_t> TimerPeakSec;

// Plot geometry (InitGrid); the derived values follow divX and xRangeEnd,
// which change with the main-window mode.
extern std::atomic<int32_t> SchermoWidth, SchermoHeight, divX, divY, borderLeft, borderRight,
    borderTop, borderBottom, xRangeStart, xRangeEnd, LabelBorder;
extern std::atomic<int32_t> r_x, r_y, bound_left, bound_right, b_top, b_bottom;
