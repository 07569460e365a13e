#pragma once
// The error list as tiles above the button bar.
#include <cstdint>
#include <vector>

struct Works;

struct ErrorTile {
  int x0, x1;    // columns of the tile
  int position;  // of its error in the list
};
// The tiles for a list of `count` errors: filled from the right, the oldest
// shown at the right; beyond six, the six newest.
std::vector<ErrorTile> ErrorTileLayout(int count);

// The tiles of the present list; nothing while a page covers the main screen.
void DrawError(Works *works);
// The tile of error `code` between x0 and x1: red for an error, orange for a
// warning, white frame, the two caption lines.
void DrawTastoErrore(Works *works, int x0, int x1, int32_t code);
