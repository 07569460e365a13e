#pragma once
// The files of a memory bank under the settings directory: one antenna
// table (which band uses which antenna, amplifier, tuner and attenuator,
// and the transceiver interface) and one ATU table per antenna output (the
// tune memory). Bank 0, and any bank outside 1..19, uses the unnumbered files.
#include <cstdio>
#include <string>

#include "tuner/state.h"

struct Works;

constexpr int ANTENNA_LINE_MAX = 512;  // line buffer of the table files
constexpr int BANK_FILE_BANKS = 20;    // banks 0..19 have files of their own
constexpr int BANK_FILE_ANTENNA = 3;   // `which` of DeleteFileConf for the antenna table

std::string AntennaTableFile(const std::string &dir, int bank);
std::string AtuTableFile(const std::string &dir, int bank, int antenna);

// Antenna table text: reads rows into `rows` (at most 11, the others keep
// their values) and counts them into `nRows`; returns the interface type
// of the last "!" line, 1 without one.
int ReadAntennaTable(FILE *in, AntennaRow rows[ANTENNA_ROWS], int &nRows);
std::string FormatAntennaTable(const AntennaRow *rows, int nRows, int modeWorkIdx);

// ATU table text: stores every line's entry at its index of `table` (5000
// entries); bad indices are reported and skipped.
void ReadAtuTable(FILE *in, TuneEntry table[TUNE_MEM_SIZE]);
std::string FormatAtuTable(const TuneEntry table[TUNE_MEM_SIZE]);

// The documented band rows with amplifier and tuner bypassed, or (repair)
// only the names and bounds, the other columns kept.
void InitAntennaRows(AntennaRow rows[ANTENNA_ROWS], int repair);

int LoadTabConfig(Works *works, int bank);
bool SaveTabConfig(Works *works, int bank);
void LoadTabAtu(Works *works, int bank, int antenna);
bool SaveTabAtu(Works *works, int bank, int antenna);
// `which` 0..2 the ATU file of that antenna, 3 the antenna table.
void DeleteFileConf(Works *works, int bank, int which);
