#pragma once
// Thread handles, thread starters and the orderly shutdown joins.
#include <cstdint>
#include <thread>

struct Works;
using ThreadBody = void (*)(Works *);

// The entry function of every thread the program starts. A body that is not
// part of this build is null: its starter reports that and starts nothing.
// Tests put stand-ins here to watch which threads start.
struct ThreadBodies {
  ThreadBody GPIO, Linear, LoadThread, LANInfoThread, AggFWThread, keyb, Wsocket, Wclient, Serial,
      th_scrivi, th_leggi, Cat, TAVORead, CatSerial, timer;
};
extern ThreadBodies threadBodies;
extern const ThreadBodies productThreadBodies;

extern std::thread thrGPIO, thrLin, thInit, thAggFw, thDebug, thrKey, thrWsock, thrSer, thrLeggi,
    thrScrivi, thrCat, thrFFT, thrCatSer, thrTime;

void StartThreadGPIO(Works *works);
void StartThreadLinear(Works *works);
void StartThreadLoad(Works *works);
void StartThreadLANinfo(Works *works);
void StartThreadAggFW(Works *works);
void StartThreadKeyb(Works *works);
void StartThreadSoket(Works *works);
void StartThreadTAVO(Works *works);
void StartThreadAudioWrite(Works *works);
void StartThreadAudioRead(Works *works);
void StartThreadCAT(Works *works);
void StartTAVOReadFFT(Works *works);
void StartThreadCATserial(Works *works);
void StartThreadTimer(Works *works);

// Starts the four remote-operation threads together (their flags set to '1').
void StartThreadCommRemote(Works *works);
// Asks the four remote-operation threads to end (their flags set to '0').
void ExitThreadRemote(Works *works);

// Joins, in the documented order, every thread that was started, with its
// log line; then the start-up helpers, which end by themselves.
void JoinThreads(Works *works);

// Sleeps `ms` (elapsed time), ending early once the run flag drops; false
// when it dropped.
bool PauseWhileRunning(Works *works, int64_t ms);

// Bodies of the small start-up threads.
void LoadThread(Works *works);
void AggFWThread(Works *works);
void LANInfoThread(Works *works);
