#pragma once
// The main screen as the timer composes it on every pass, and the changes of
// main window and pages that pick its background.
struct Works;
struct TavoParamsRecord;

// The main-window mode 1..5; any other value counts as 1.
int MainWindowMode(Works *works);

// Loads the background of the main-window mode and starts the screen from it;
// sets the plot's span for modes 4 and 5. Outside interface 1 the
// extended-IO link is told to stop.
void SetWorkImg(Works *works);
// Main window `mode` (1..5, else 1), no page open, the second meter's peak
// restarted.
void SelectMainWindow(Works *works, int mode);
// Opens the information pages over the "status" background.
void OpenInfoPages(Works *works);
// Closes the information pages: true when they were open.
bool EscFromStatus(Works *works);

// The needles' peaks start again (the timer's start).
void ClearPeakNeedles(Works *works);

// Everything over the background of one pass: the top line, the button bar
// with its overlays, and the meters or the plot. The caller holds the
// display lock.
void ComposeMainScreen(Works *works, const TavoParamsRecord &params);
