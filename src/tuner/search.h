#pragma once
// Shared pieces of the three search procedures (tuner folder only).
struct Works;

constexpr int SEARCH_LIMIT = 510;  // upper end of C and L in the stepping searches

enum class Knob { L, C };

int KnobValue(Works *works, Knob knob);
// Writes L or C into tuneVal and valL/valC, kept within what the word holds.
void WriteKnob(Works *works, Knob knob, int value);
// One lower when above 1, else unchanged.
void LowerKnob(Works *works, Knob knob);
void SetSearchState(Works *works, int state);

// The newest measurement against the one before: worse by more than the
// tolerance (complete search) or at all (fast search).
bool WorseBy(float tolerance);

void StepCompleteSearch(Works *works);
void StepFineSearch(Works *works);
void StepFastSearch(Works *works);
