#pragma once
// The amplifier's supply voltage from the front-panel controller's reading.
struct Works;

// Volts from the amplifier-supply count; the divider differs on the
// high-power variant.
float CalvTensVadcAmp(Works *works);
