#pragma once
// The eight band filters of filter.txt and the choice of filter for the
// current frequency.
#include <string>

struct Works;

// Reads filter.txt into tabFiltri (once, at start-up); every row is disabled
// first, so without the file no filter is ever chosen.
void LoadTabFiltri(Works *works);
// Rewrites filter.txt from tabFiltri.
void SaveTabFiltri(Works *works);
// The file's text for the current table.
std::string FormatTabFiltri(Works *works);
// Chooses the filter for the current frequency; queues the filter command
// when the choice changes.
void SetFilterFromfreq(Works *works);
// Enables (1) or disables (0) the row picked on the filter screen.
void EnDisFilter(Works *works, int value);
