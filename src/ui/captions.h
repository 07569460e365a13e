#pragma once
// The button bar's captions (works->ui.Koramenu): the fixed texts of every
// screen state and the lines that show values, written by the label
// functions. Every write takes the display lock, so a caller must not hold
// the antenna, tune, tune-value, error or filter locks.
#include <cstdint>

#include "ui/state.h"

struct Works;

// Fills every page with its fixed captions and flags, then the value lines
// from the present settings.
void InitButtonCaptions(Works *works);

// Writes line 1 or 2 of key 1..6 on the page of screen state `page`,
// cut to the field; a position outside the pages writes nothing.
void SetCaption(Works *works, int page, int key, int line, const char *format, ...)
    __attribute__((format(printf, 5, 6)));

// A copy of one page, as drawn.
ButtonPage CaptionPage(Works *works, int page);

// The value lines of `page` brought up to date (before every drawing).
void UpdateLabels(Works *works, int page);

// The label functions, each writing the value lines of its own page.
void SetAttenuatorLabel(Works *works);  // main screen, IN-ATT: step in dB or "StBy"
void SetModeWorkLabel(Works *works);    // main screen, MEM: "BANK<n>"
void LblCOPY(Works *works);             // copy screen: source and destination banks
void LblRESET(Works *works);            // reset screen: the bank, or "ALL"
void LabelSAVEATU(Works *works);        // save screen: target bank and antenna
void ImpostaLblManuale(Works *works);   // manual tune: network, L and C
void LabelByPassATU(Works *works);      // tune screen, ATU: "Bpy" or "On"
void LblMenuAntenna(Works *works);      // memory table, INTERF: the interface
// The tune screen's ATU line with `text`, while that screen is shown.
void LabelByPassKora(Works *works, const char *text);
// The main screen's antenna line as "Auto <antenna>", while it is shown.
void LabelAutoAntenna(Works *works, int antenna);
// The manual-tune screen's test-transmission key: "StopTX" while it runs.
void LabelTestTransmission(Works *works, bool running);

// The label of interface `interface` (0..2) into `text` (8 bytes); empty for
// any other value.
void GetLblInterface(int interface, char *text);
