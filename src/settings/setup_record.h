#pragma once
// The values of setup.txt as fixed character fields, in record order: flags
// are one character '1'/'0', texts are NUL-terminated within their capacity.
#include <atomic>
#include <iosfwd>

struct SetupRecord {
  char EnableKeyb, EnableSpi, EnableTouch, DelayedTouch, EnableRead, EnableWrite, EnableCAT;
  char extIoRun;  // run flag of the extended-IO link; no key, stays '1'
  char EnableLinear, EnableTime, EnableGPIO, WebSocket;
  char Pitch[10];
  char Quality[4];
  char AudioIn[20];
  char EnableFFT;
  char fftRun;  // spectrum run flag; no key of its own
  char Enable1600;
  char Divide[3];
  char InChannels[2];
  char AudioCompress[10];
  char Multiplier[3];
  char AudioOut[20];
  char Server[16];
  char CatPort[13];
  char SerPort[13];
  char LinPort[13];
  char NumAntenna, EnablePwrPeak, TempMode, FreqSensIn;
  char FreqPeriodTime[5];
  char Attenuator, AttenuatorTune;
  char SWRescAutoTune[6];
  char ViewTimeStr, ViewTemp;
  char MaxTemperature[6];
  char MaxTemperature2[6];
  char AutoTuneMaxCicli, PowerUnits, SaveScreenIdx, AutoTuneMode;
  char MaxTempAllowed[6];
  char PSpar1[6], PSpar2[6], PSpar3[6], PSpar4[6];
  char Isteresi1, Isteresi2;
  char OffsetPlot[6], RefLevelPlot[6], RefPosPlot[6], PointDivPlot[6];
  char catSerialRun;  // run flag of the FT-817 poller; no key, stays '1'
  char CatSerialPort[13];
  char TUNEenabled[4];
  char NumBanco[4];
  char GMpar1[6], GMpar2[6];
  char Peak_media[6], Peak_ValDec[6], Peak_TimeDec[6], Peak_Time[6];
  char MAXbank[4];
  char BTN_longpress_Time[6];
  char EnableDebug, EnableLOGTemp;
  char AudioBuffers[6];
  char AutoTuneTipo;
  char CPUTempVentola[6];
  char CPUPercVentola[5];
  char terminator;
};
static_assert(sizeof(SetupRecord) == 322, "setup record layout");

struct Works;

// Defaults of the record and of the whole shared record (InitGlobalVar).
void initSetup(Works *works);
// The record and its mirrors back to the defaults, as a fresh setup file
// would set them; the rest of the shared record and the run flags of the
// threads (extIoRun, catSerialRun, fftRun aside) are left alone.
void ResetSetupDefaults(Works *works);
// Defaults, then the file; creates the file when it is missing.
void readSetup(Works *works);
// The lines of a setup file onto the record and its mirrors; numbers out of
// their ranges give way to the defaults, each with one log line.
void ApplySetupText(Works *works, std::istream &in);
// Refreshes the record from the mirrors and rewrites the whole file.
bool writeSetup(Works *works);

// The one-character run flags are polled by their threads while another
// thread changes them; these read and write them as single atomic bytes.
inline char ReadSetupFlag(char &flag) {
  return std::atomic_ref<char>(flag).load(std::memory_order_relaxed);
}
inline void WriteSetupFlag(char &flag, char value) {
  std::atomic_ref<char>(flag).store(value, std::memory_order_relaxed);
}
