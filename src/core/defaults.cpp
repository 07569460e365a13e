#include <cstring>

#include "core/works.h"

std::atomic<Works *> staticworks{nullptr};
int CntIP, CntDNS, CntNetMask, CntGateway;
std::atomic<int32_t> waitTAVO{0};
std::atomic<int32_t> startInitThread{0};

namespace {
void InitCoreDefaults(Works *works) {
  CoreState &c = works->core;
  c.running = 1;
  c.linkErrState = 0;
  c.timerPeriod = 40000;
  c.lastFreq = 14070000;
  c.forceFreq = -1;
  c.remoteActive = 0;
  c.softwareUpdate = 0;
}

void InitLinkDefaults(Works *works) {
  LinkState &l = works->link;
  l.tuneStateDigit = 0;
  l.ampBypass = 1;  // the amplifier starts as bypassed
  l.atuBypass = 0;
  l.currentFreq = 14070000;
  l.anValue = 0;
  l.cmdPriority = 0;
  l.retryTotal = 0;
  l.commErrHoldoff = 0;
  l.ampConfig[0] = 255;
  l.ampConfig[1] = 255;
  works->errors.errMask = 1;  // nothing is recorded until the amplifier answers "CP"
  works->errors.errResend = 0;
  works->thermal.fanCurveLast = -1;
  works->thermal.cpuFanLevel = 0;
  works->thermal.cpuFanLast = 0;
}

void InitRemoteDefaults(Works *works) {
  RemoteState &r = works->remote;
  r.wsSocket = -1;
  r.wsConnected = 0;
  r.audioFrameSize = 240;
  r.audioChannels = 2;
  r.sampleRate = 48000;
  r.TcpPort = 6666;
  r.remoteFault = 0;
  r.AudioBuffers = 20;
}

void InitSettingsDefaults(Works *works) {
  SettingsState &s = works->cfg;
  s.EnablePwrPeak = 0;
  s.FreqPeriodTime = 10;
  s.ViewTimeStr = 0;
  s.ViewTemp = 0;
  s.sogliaTS[0] = 4095;
  s.sogliaTS[1] = 4095;
  s.sogliaTS[2] = 1500;
  s.sogliaTS[3] = 3700;
  s.MaxTemperature = 60.0f;
  s.MaxTemperature2 = 80.0f;
  s.MaxTempAllowed = 60;
  s.PSpar1 = 1;
  s.PSpar2 = 1000;
  s.GMpar1 = 2;
  s.GMpar2 = 100;
  s.Isteresi1 = 1;
  s.Isteresi2 = 1;
  s.idxSogliaTS = -1;
  s.NumBanco = 1;
  s.MAXbank = 3;
  s.EnableDebug = 0;
  s.EnableLOGTemp = 0;
  s.logTempRestarted = 0;
  s.CPUPercVentola = 70;
  s.CPUTempVentola = 80;
  s.RefLevelPlot = 0;
  s.RefPosPlot = 10;
  s.PointDivPlot = 10;
}

void InitTunerDefaults(Works *works) {
  TunerState &t = works->tuner;
  t.antennaIdx = 0;
  t.tuneVal = 0;
  t.statoTune = 0;
  t.fineTune = 0;
  t.autoAntFlags = 0;
  t.autoAntCountdown = 0;
  t.modeWorkIdx = -1;  // no transceiver type chosen yet
  works->trx.catFreq = 0;
  works->trx.spectrumSpan = 160000;
}

void InitScreenDefaults(Works *works) {
  works->display.imgPosX = 0;
  works->display.imgPosY = 0;
  works->ui.mainWindow = 1;
  works->ui.menuIndex = 0;
  works->ui.menuItem = 0;
  works->ui.uiFlags = 0;
  works->input.panelLastCmd = 0xB0;
  TIME_LONG_PRESS = 0.5;
  number_ofStep_meter_FWD = 60;
  number_ofStep_meter_REFL = 60;
  number_ofStep_meter_SWR = 60;
  number_ofStep_meter_PW = 60;
  fattoremedia = 2;
  PeakDecrement = 1.0;
  PeakDecrementTime = 1;
  TimerPeakSec = 3000;
}
}  // namespace

void InitGlobalVar(Works *works) {
  InitCoreDefaults(works);
  InitLinkDefaults(works);
  InitRemoteDefaults(works);
  InitSettingsDefaults(works);
  InitTunerDefaults(works);
  InitScreenDefaults(works);
}

void SetLinkError(Works *works, const std::string &message) {
  {
    std::lock_guard<std::mutex> lock(works->core.linkErrMutex);
    snprintf(works->core.linkErrMsg, sizeof works->core.linkErrMsg, "%s", message.c_str());
  }
  works->core.linkErrState = 1;
}

std::string GetLinkErrorMessage(Works *works) {
  std::lock_guard<std::mutex> lock(works->core.linkErrMutex);
  return works->core.linkErrMsg;
}
