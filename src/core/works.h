#pragma once
// The one shared record. Each subsystem owns the slice declared in its
// folder's state.h; every thread gets a pointer to the record.
#include "amplifier/state.h"
#include "core/state.h"
#include "display/state.h"
#include "input/state.h"
#include "network/state.h"
#include "remote/state.h"
#include "settings/state.h"
#include "transceiver/state.h"
#include "tuner/state.h"
#include "ui/state.h"

struct Works {
  CoreState core;
  DisplayState display;
  RemoteState remote;
  SettingsState cfg;
  LinkState link;
  ErrorState errors;
  ThermalState thermal;
  TunerState tuner;
  TransceiverState trx;
  UiState ui;
  InputState input;
  NetworkState net;
};

// The record for code that receives no argument (callbacks).
extern std::atomic<Works *> staticworks;

constexpr const char *KESTRA_VERSION = "00.063";

// Sets every documented default of the record.
void InitGlobalVar(Works *works);
