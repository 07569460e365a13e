#include "core/threads.h"

#include <algorithm>

#include "amplifier/errors.h"
#include "amplifier/link.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/timer.h"
#include "core/works.h"
#include "input/front_panel.h"
#include "input/keyboard.h"
#include "input/panel_mailbox.h"
#include "remote/audio_capture.h"
#include "remote/audio_playback.h"
#include "remote/ws_client.h"
#include "remote/ws_server.h"
#include "settings/setup_record.h"
#include "transceiver/cat_relay.h"
#include "transceiver/cat_serial.h"
#include "transceiver/ext_io.h"
#include "transceiver/usb_stream.h"

const ThreadBodies productThreadBodies = {
    .GPIO = GPIO,
    .Linear = Linear,
    .LoadThread = LoadThread,
    .LANInfoThread = LANInfoThread,
    .AggFWThread = AggFWThread,
    .keyb = keyb,
    .Wsocket = Wsocket,
    .Wclient = Wclient,
    .Serial = Serial,
    .th_scrivi = th_scrivi,
    .th_leggi = th_leggi,
    .Cat = Cat,
    .TAVORead = TAVORead,
    .CatSerial = CatSerial,
    .timer = timer,
};
ThreadBodies threadBodies = productThreadBodies;

std::thread thrGPIO, thrLin, thInit, thAggFw, thDebug, thrKey, thrWsock, thrSer, thrLeggi,
    thrScrivi, thrCat, thrFFT, thrCatSer, thrTime;

namespace {
constexpr int64_t PAUSE_SLICE_MS = 50;  // a stop ends a pause within this

SetupRecord &Setup(Works *works) { return *works->cfg.setup; }

bool Launch(std::thread &handle, ThreadBody body, const char *name, Works *works) {
  if (!body) {
    LogErr("%s: not part of this build\n", name);
    return false;
  }
  // A thread started again (the remote set) has ended since its last start.
  if (handle.joinable()) handle.join();
  handle = std::thread(body, works);
  return true;
}

void JoinIf(std::thread &handle, const char *message) {
  if (!handle.joinable()) return;
  handle.join();
  LogSys(LOG_PRIO_INFO, "%s", message);
}

void JoinQuietly(std::thread &handle) {
  if (handle.joinable()) handle.join();
}
}  // namespace

void StartThreadGPIO(Works *works) {
  if (Setup(works).EnableGPIO != '1') return;
  if (Launch(thrGPIO, threadBodies.GPIO, "GPIO", works)) works->input.panelThreadRunning = 1;
}

void StartThreadLinear(Works *works) {
  if (Setup(works).EnableLinear == '1') Launch(thrLin, threadBodies.Linear, "Linear", works);
}

void StartThreadLoad(Works *works) { Launch(thInit, threadBodies.LoadThread, "LoadThread", works); }

void StartThreadLANinfo(Works *works) {
  Launch(thDebug, threadBodies.LANInfoThread, "LANInfoThread", works);
}

void StartThreadAggFW(Works *works) {
  Launch(thAggFw, threadBodies.AggFWThread, "AggFWThread", works);
}

void StartThreadKeyb(Works *works) {
  if (Setup(works).EnableKeyb == '1') Launch(thrKey, threadBodies.keyb, "keyb", works);
}

void StartThreadSoket(Works *works) {
  if (Setup(works).WebSocket == '1') {
    LogErr(">>>>>>>>>> SOCKET SERVER start\n");
    Launch(thrWsock, threadBodies.Wsocket, "Wsocket", works);
  } else if (Setup(works).WebSocket == '2') {
    LogErr(">>>>>>>>>> SOCKET CLIENT start\n");
    Launch(thrWsock, threadBodies.Wclient, "Wclient", works);
  }
}

void StartThreadTAVO(Works *works) {
  if (Setup(works).extIoRun != '1') return;
  LogErr("TAVOread start\n");
  Launch(thrSer, threadBodies.Serial, "Serial", works);
}

void StartThreadAudioWrite(Works *works) {
  if (ReadSetupFlag(Setup(works).EnableWrite) != '1') return;
  LogErr("Th_scrivi start\n");
  Launch(thrScrivi, threadBodies.th_scrivi, "th_scrivi", works);
}

void StartThreadAudioRead(Works *works) {
  if (ReadSetupFlag(Setup(works).EnableRead) != '1') return;
  LogErr("Th_leggi start\n");
  Launch(thrLeggi, threadBodies.th_leggi, "th_leggi", works);
}

void StartThreadCAT(Works *works) {
  if (ReadSetupFlag(Setup(works).EnableCAT) != '1') return;
  LogErr("Cat.c start\n");
  Launch(thrCat, threadBodies.Cat, "Cat", works);
}

void StartTAVOReadFFT(Works *works) {
  if (ReadSetupFlag(Setup(works).EnableFFT) == '1')
    Launch(thrFFT, threadBodies.TAVORead, "TAVORead", works);
}

void StartThreadCATserial(Works *works) {
  if (Setup(works).catSerialRun == '1')
    Launch(thrCatSer, threadBodies.CatSerial, "CatSerial", works);
}

void StartThreadTimer(Works *works) {
  if (Setup(works).EnableTime == '1') Launch(thrTime, threadBodies.timer, "timer", works);
}

void StartThreadCommRemote(Works *works) {
  SetupRecord &s = Setup(works);
  works->remote.remoteFault = 0;
  struct Remote {
    char *flag;
    void (*start)(Works *);
  };
  for (Remote r :
       {Remote{&s.EnableWrite, StartThreadAudioWrite}, Remote{&s.EnableRead, StartThreadAudioRead},
        Remote{&s.EnableCAT, StartThreadCAT}, Remote{&s.EnableFFT, StartTAVOReadFFT}}) {
    if (ReadSetupFlag(*r.flag) != '0') continue;
    WriteSetupFlag(*r.flag, '1');
    r.start(works);
  }
  writeSetup(works);
  PostPanelCmd(works, 0x95);
}

void ExitThreadRemote(Works *works) {
  SetupRecord &s = Setup(works);
  for (char *flag : {&s.EnableWrite, &s.EnableRead, &s.EnableCAT, &s.EnableFFT})
    WriteSetupFlag(*flag, '0');
  SleepMillis(500);
  for (int32_t code : {ERR_AUDIO_READ, ERR_AUDIO_WRITE, ERR_REMOTE_USB, ERR_REMOTE_CAT})
    DeleteErrore(works, code);
  writeSetup(works);
  PostPanelCmd(works, 0xA5);
  LogErr(">>>>>>>>>>>>>>>>>>>>>>>>> REMOTE STOP \n");
}

void JoinThreads(Works *works) {
  JoinIf(thrKey, "Communicator joined Key end");
  JoinIf(thrFFT, "Communicator joined FFT end");
  JoinIf(thrLeggi, "Communicator joined Touch end");
  JoinIf(thrScrivi, "Communicator joined Spi end");
  JoinIf(thrWsock, "Communicator joined Wsocket end");
  JoinIf(thrCat, "Communicator joined Cat end");
  JoinIf(thrCatSer, "Communicator joined CatSerial end");
  JoinIf(thrSer, "Communicator joined Serial end");
  JoinIf(thrLin, "Communicator joined Linear end");
  JoinIf(thrTime, "Communicator joined Time end");
  JoinIf(thrGPIO, "Communicator joined GPIO end");
  works->input.panelThreadRunning = 0;
  // Not part of the documented joins, but the record must outlive them too.
  for (std::thread *t : {&thInit, &thAggFw, &thDebug}) JoinQuietly(*t);
}

bool PauseWhileRunning(Works *works, int64_t ms) {
  int64_t start = MonotonicMicros();
  for (int64_t left = ms; left > 0 && works->core.running; left = ms - MillisSince(start))
    SleepMillis(std::min(left, PAUSE_SLICE_MS));
  return works->core.running != 0;
}
