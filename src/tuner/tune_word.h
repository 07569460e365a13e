#pragma once
// The tuner word: the 32-bit relay image sent with "MT1%08X;". Capacitance
// and inductance are 9-bit values, the network mode 0..3 (0 none, 1 network
// B, 2 network A, 3 bypassed).
#include <cstdint>

struct Works;

constexpr int TUNE_LC_MAX = 511;  // largest C or L the word holds

enum TuneMode : int {
  TUNE_MODE_NONE = 0,
  TUNE_MODE_B = 1,
  TUNE_MODE_A = 2,
  TUNE_MODE_BYPASS = 3,
};

constexpr uint32_t TUNE_BIT_B = 1u << 23;
constexpr uint32_t TUNE_BIT_A = 1u << 18;
constexpr uint32_t TUNE_BIT_BYPASS = 1u << 16;

// Write C, L or the network mode into tuneVal; valC/valL are the callers'.
void SetC(Works *works, int c);
void SetI(Works *works, int l);
void SetMode(Works *works, int mode);

int DecodeCapacitaFromTuneval(uint32_t word);
int DecodeInduttanzaFromTuneval(uint32_t word);
int DecodeModoFromTuneval(uint32_t word);

// valC, valL, modoTune from tuneVal; a word without a network becomes a
// bypass word.
void ReadTnePar(Works *works);
