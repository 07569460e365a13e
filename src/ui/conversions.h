#pragma once
// Small conversions of the screens and the clock text.
struct Works;

float ConversionCelsius_to_Fahrenheit(float c);
// 10 × log10(watts × 1000); −infinity for 0 W.
float ConvertW_to_dBm(float watts);
// Amperes of the PA current reading (12-bit count).
float PaCurrentAmps(float reading);

// Refreshes the date-and-time text of the record when the second changed.
void ReadDataOra(Works *works);
