#pragma once
// Supply voltages from the front-panel controller's 8-bit readings.
#include <cstdint>

struct Works;

// Volts of one supply count; the divider differs on the high-power variant.
float SupplyCountVolts(Works *works, uint8_t count);
// Volts of the amplifier-supply count.
float CalvTensVadcAmp(Works *works);
