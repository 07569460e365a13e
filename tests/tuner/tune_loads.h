#pragma once
// Antenna loads across the bands that the searches are proved against.
struct TuneLoad {
  double freq;  // Hz
  double r, x;  // ohms
};

inline constexpr TuneLoad TUNE_LOADS[] = {
    {7.1e6, 25, 30},   {14.2e6, 100, -50}, {3.6e6, 15, 0},    {1.85e6, 10, -20}, {28.5e6, 200, 100},
    {50.2e6, 35, -15}, {21.2e6, 300, 0},   {10.12e6, 50, 60}, {18.1e6, 70, -90}, {24.95e6, 22, -10},
};
