#pragma once
// The texts of the unit's screen as it draws them, so that a report or a
// test can read captions and values by position: each text drawn into the
// screen being composed, committed when that screen is shown.
#include <cstdint>
#include <string>
#include <vector>

class JsonWriter;

struct ScreenText {
  int slot, x, y;
  uint8_t red, green, blue;
  std::string text;
};

// Installs the recording hooks of the display (once, before the unit runs).
void RecordScreenTexts();
// Removes them (tests).
void StopRecordingScreenTexts();
// The texts of the last screen shown, in the order they were drawn.
std::vector<ScreenText> ShownScreenTexts();
// How many screens were shown since the recording began.
uint64_t ShownScreenCount();

// A JSON array of {slot, x, y, colour: [r, g, b], text}.
void WriteScreenTexts(JsonWriter &json, const std::vector<ScreenText> &texts);
