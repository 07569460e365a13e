#pragma once
// The button bar (rows 420 to 479) and the overlays drawn with it.
struct Works;
struct TavoParamsRecord;

// Draws the bar of the present screen state, then the overlays in their
// order: status area, error tiles, information page, transmit indicator.
void LoadButtons(Works *works, const TavoParamsRecord &params);
