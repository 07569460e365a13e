#pragma once
// The spectrum plot of main windows 4 and 5 and the frequency read-out.
struct Works;

// Sets the plot geometry globals (start-up).
void InitGrid();

struct PlotPoint {
  float x, y;
};
// Screen point of spectrum bin `index` with `value` dB between the bottom
// and top levels of the grid; y stays on the grid, x is not limited.
PlotPoint CalculatePoint(double bottomLevel, double topLevel, int index, double value);

// Grid, level and offset labels, the trace and the frequency; nothing while
// a page (uiFlags) covers the main screen.
void DrawGrid(Works *works);
// The working frequency above the plot or between the meters.
void DrawFreq(Works *works);
