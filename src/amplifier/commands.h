#pragma once
// Amplifier command numbers: the link states that send a command, plus the
// reception (2), decoding (3) and parked (25, 31) states.
#include <cstdint>

enum LinearCmd : int32_t {
  CMD_VS = 0,          // "VSM;"
  CMD_ST = 1,          // "ST;" status poll
  CMD_WAIT_REPLY = 2,  // receive the reply
  CMD_DECODE = 3,      // decode the reply
  CMD_TU1 = 4,         // "TU1;"
  CMD_TU0 = 5,         // "TU0;"
  CMD_TU = 6,          // "TU;"
  CMD_SA = 7,          // "SA%d;" antenna
  CMD_FM = 8,          // "FM;" frequency counter
  CMD_FA = 9,          // "FA%011lu;" frequency
  CMD_MT_QUERY = 10,   // "MT;"
  CMD_MT_SET = 11,     // "MT1%08X;" tuner word
  CMD_FS = 12,         // "FS%01d%04d;" frequency sensor
  CMD_CP = 13,         // "CPFFFF;" clear protections
  CMD_AT = 14,         // attenuator setting
  CMD_AT_TUNE = 15,    // tune attenuator setting
  CMD_AT_FULL = 16,    // "AT11;"
  CMD_MP0 = 17,        // "MP0;" protection off
  CMD_MP1 = 18,        // "MP1;" protection on
  CMD_AB0 = 19,        // "AB0;"
  CMD_AB1 = 20,        // "AB1;"
  CMD_AN = 21,         // "AN%d;"
  CMD_TS = 22,         // "TS%04d%04d%04d%04d;" thresholds
  CMD_FN = 23,         // "FN1%03d;" fan level
  CMD_PS = 24,         // "PS%04d%04d%04d%04d;" protection parameters
  CMD_IDLE = 25,       // no action
  CMD_SF_QUERY = 26,   // "SF;"
  CMD_MT_LOAD = 27,    // "MT1%08X;" after reloading the stored tune
  CMD_SF_SET = 28,     // "SF30000%02x;" filter mask
  CMD_SE = 29,         // "SE11234;"
  CMD_MR1 = 30,        // "MR1;"
  CMD_PARKED = 31,     // parked after "MR1;"
  CMD_MR0 = 32,        // "MR0;"
  CMD_GM = 33,         // "GM%04d%04d;"
  CMD_GS_QUERY = 34,   // "GS;"
  CMD_GS_SET = 35,     // "GS%s;"
  CMD_ER0 = 36,        // "ER0000;"
  CMD_ER1 = 37,        // "ER0001;"
  CMD_ER2 = 38,        // "ER0002;"
  CMD_MT_BYPASS = 39,  // "MT1%08X;" tuner bypassed
  CMD_MT_CLEAR = 40,   // "MT1%08X;" tuner word cleared
  CMD_FN_CPU = 41,     // "FN1%03d;" CPU-driven fan level
};

struct Works;

// Queues the amplifier's start-up commands.
void InitMicroCmd(Works *works);
