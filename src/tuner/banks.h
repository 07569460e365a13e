#pragma once
// Memory banks: the working tables always belong to one bank (NumBanco);
// the operations of the memory screens load, save, copy and reset banks.
#include <cstdint>

#include "tuner/state.h"

struct Works;

// The default antenna table (repair = 0), or only its names and bounds.
void InitTabAntenna(Works *works, int repair);

// First row of the antenna table holding `freq` (bounds inclusive), copied
// into `row`; −1 when none does.
int AntennaRowOf(Works *works, uint32_t freq, AntennaRow &row);
// The same for the last row holding `freq` (the band the screen names).
int LastAntennaRowOf(Works *works, uint32_t freq, AntennaRow &row);

// Rows of the antenna table loaded.
int AntennaRowCount(Works *works);

// The current antenna, tuner, attenuator and amplifier choice into the row
// of the current frequency; the antenna table of `bank` is saved.
void SaveToBank(Works *works, int bank, int antenna);
void LoadAllBankTable(Works *works, int bank);
// The next bank (after the last, bank 0); SelectBanco makes `bank` the
// current one. Either way the setup file keeps it and the timer applies the
// bank's row at the present frequency.
void ChangeBanco(Works *works);
void SelectBanco(Works *works, int bank);
void ChangeInterfaceBanco(Works *works);

// The current tune stored into another bank and antenna; refused (false)
// while the tuner is bypassed.
bool SaveTuneInBank(Works *works, int bank, int antenna);
// Bank `from`'s four files written as bank `to`'s; the current bank's
// tables are loaded again afterwards.
void CopyBanco(Works *works, int from, int to);
// Deletes a bank's four files; `bank` = MAXbank deletes those of every bank.
void ResetBanco(Works *works, int bank);
// Deletes the four files of one bank.
void DeleteBankFiles(Works *works, int bank);
