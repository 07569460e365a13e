#pragma once
// What the tuner, the antenna switch, the amplifier bypass and the
// attenuator do on a frequency change; starting and aborting tunes; the
// manual tuning keys. Changes reach the amplifier through the command queue.
struct Works;

// Interface names of modeWorkIdx 0..2.
extern const char MODEwork[3][8];

// Applies the antenna-table row of the current frequency.
void GestioneAntennaAutomatica(Works *works);
// The stored tune of the current frequency into the tuner, or the empty tune.
void GestioneLoadTuneVal(Works *works);
// The tune key: starts a tune, or aborts the running one.
void GoTune(Works *works);
void StartAutotune(Works *works);
// The transceiver links in line with modeWorkIdx.
void SetModeWorkIDX(Works *works);
// The extended-IO link started, unless it runs.
void StartExtIoLink(Works *works);

// Manual tuning (the keys of the tune page): L or C by one step (delta
// ±1), the next network, the tuner bypass on or off, and the two tune keys.
void ManualTuneL(Works *works, int delta);
void ManualTuneC(Works *works, int delta);
void ManualTuneNetwork(Works *works);
void ManualTuneBypass(Works *works);
void CompleteTuneKey(Works *works);
void FineTuneKey(Works *works);

// The test transmission of the manual-tune page, which the extended-IO link
// serves: a carrier asked of the transceiver (the amplifier's antenna value
// cleared first where it uses one), or its return to receive.
bool TestTransmissionRunning(Works *works);
void StartTestTransmission(Works *works);
void StopTestTransmission(Works *works);
