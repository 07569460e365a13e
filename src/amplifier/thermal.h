#pragma once
// Temperatures of the amplifier's two thermistors, their alarms, and the fan
// curve (with the processor's temperature driving the fan while the curve
// wants it off).
#include <cstdint>

struct Works;

// Degrees Celsius of a thermistor count (10 kΩ divider, 12-bit converter),
// limited to −10..80.
float CalcolaTemp(uint32_t count);
// False for a count the 12-bit converter cannot give: the sensor has failed.
bool ThermistorCountValid(uint32_t count);

// Warning near `limit`, alarm above it (protection on, both input pads in),
// alarm ended once the temperature is back below the hysteresis band.
void GestTemperatureFunction(Works *works, int32_t alarmCode, int32_t endCode, int32_t warnCode,
                             float temperature, float limit);
// Follows the fan curve with hysteresis; queues the fan command on a change.
void searchPercentVentola(Works *works);
// The temperature of the first fan row with `level`, or 0.
float SearchTemperatureFromVentola(Works *works, int level);
// Reads the two processor temperatures from "my_temp".
void ReadCPUTemp(Works *works);
