#pragma once
// The fan curve of ventola.txt: temperature to fan level, ascending.
struct Works;

// Reads ventola.txt into tabVentola / nRowVentola (once, at start-up); a
// missing file leaves the table as it was.
void ReadVentolaFile(Works *works);
