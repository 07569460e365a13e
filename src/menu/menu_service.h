#pragma once
// The menu's actions beyond a setting: remote operation on and off, the
// factory reset, the service requests.
struct Works;

// The checks before remote operation: true when everything it needs is
// there; otherwise the missing pieces go to the error list, remoteFault and
// the "remote not started" message are set.
bool RemoteReady(Works *works);
// ENTER on the mode row: starts (remote) or stops (local) the remote threads.
void ApplyRemoteMode(Works *works);

// The bank files of every bank deleted, the setup record and its mirrors
// back to their defaults and written; the working tables reloaded.
void FactoryReset(Works *works);

// ENTER on the service rows, each acting only while its row is ON.
void StartRemoteService(Works *works);
void StartSoftwareUpdate(Works *works);
void FirmwareUpdateEnter(Works *works);
void TurnOffHardware(Works *works);
