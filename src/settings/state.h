#pragma once
// Settings slice of the shared record: the setup record, the numeric mirrors
// of setup.txt, and the calibration/filter state that follows the frequency.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "settings/calibration.h"

struct SetupRecord;

// One row of ventola.txt: from `temp` upwards the fan runs at `level`.
struct FanRow {
  float temp;  // degrees Celsius
  int level;   // sent with "FN1%03d;"
};

// One row of filter.txt; row i drives filter bit i.
struct FilterRow {
  uint32_t fStart;  // Hz, inclusive
  uint32_t fStop;   // Hz, inclusive
  uint8_t enabled;  // 1 usable, anything else not
};
constexpr int FILTER_ROWS = 8;

struct SettingsState {
  SetupRecord *setup = nullptr;
  // Held while setup.txt is applied to the record, and while a save
  // refreshes the record from the mirrors, takes its snapshot and writes it.
  std::mutex setupMutex;

  // Numeric mirrors of setup.txt; the mirror wins when the file is written.
  std::atomic<uint8_t> EnablePwrPeak{0};
  std::atomic<uint8_t> TempMode{0};
  std::atomic<uint8_t> FreqSensIn{0};
  std::atomic<int32_t> FreqPeriodTime{0};
  std::atomic<uint8_t> Attenuator{0};
  std::atomic<uint8_t> AttenuatorTune{0};
  std::atomic<float> SWRescAutoTune{0};
  std::atomic<uint8_t> ViewTimeStr{0};
  std::atomic<uint8_t> ViewTemp{0};
  std::atomic<float> MaxTemperature{0};
  std::atomic<float> MaxTemperature2{0};
  std::atomic<uint8_t> AutoTuneMaxCicli{0};
  std::atomic<uint8_t> PowerUnits{0};
  std::atomic<uint8_t> SaveScreenIdx{0};
  std::atomic<uint8_t> AutoTuneMode{0};  // automatic-tune flags byte
  std::atomic<int32_t> Divide{0};
  std::atomic<int32_t> MaxTempAllowed{0};
  std::atomic<int32_t> PSpar1{0}, PSpar2{0}, PSpar3{0}, PSpar4{0};
  std::atomic<int32_t> Isteresi1{0}, Isteresi2{0};
  std::atomic<double> OffsetPlot{0};
  std::atomic<int32_t> RefLevelPlot{0}, RefPosPlot{0}, PointDivPlot{0};
  std::atomic<uint8_t> TUNEenabled{0};
  std::atomic<int32_t> NumBanco{0};
  std::atomic<int32_t> GMpar1{0}, GMpar2{0};
  std::atomic<int32_t> MAXbank{0};
  std::atomic<uint8_t> EnableDebug{0};
  std::atomic<uint8_t> EnableLOGTemp{0};
  std::atomic<uint8_t> logTempRestarted{0};
  std::atomic<int32_t> CPUTempVentola{0};
  std::atomic<int32_t> CPUPercVentola{0};

  // Calibration rows of config.txt, loaded once at start-up.
  CalibRow *tabCalib = nullptr;
  int nRowCalib = 0;
  std::unique_ptr<CalibRow[]> calibStorage;  // what ReadConfigFile allocated for tabCalib

  // Fan curve of ventola.txt, loaded once at start-up.
  std::unique_ptr<FanRow[]> tabVentola;
  int nRowVentola = 0;

  // Filter table: the key dispatch edits it while the timer chooses from it.
  std::mutex filterMutex;
  FilterRow tabFiltri[FILTER_ROWS]{};
  std::atomic<int32_t> filterMenuRow{0};  // row picked on the filter table screen

  // Protection thresholds in converter counts, in the order sent with "TS".
  std::atomic<int32_t> sogliaTS[4]{};
  std::atomic<int32_t> idxSogliaTS{0};  // calibration row last sent; −1 none
  std::atomic<uint8_t> filterMask{0};
};
