#pragma once
// The key dispatch's screens, one function per group of screen states: each
// acts on the key and returns non-zero when the held key should repeat.
// They run in the front-panel thread, outside the display lock; screen and
// caption changes take it themselves (ui/screen_state.h, ui/captions.h).
struct Works;

struct KeyPress {
  int key;       // 1..6
  int holdMask;  // 0 a short press, else the key's bit (a long press or a repeat)
  bool Held() const { return holdMask != 0; }
  // The repeat answer of a key that steps a value: repeat while held.
  int RepeatWhileHeld() const { return (holdMask & (1 << (key - 1))) ? 1 : 0; }
};

// The amplifier is in standby, or was told to go there (the standby shown).
bool AmplifierInStandby(Works *works);

// States 3 (tune screen) and 4 (manual tune).
int TuneScreenKeys(Works *works, const KeyPress &k);
int ManualTuneKeys(Works *works, const KeyPress &k);
// States 6 to 11 (memory table, its row editor, save, bank utilities, copy,
// reset) and 12 (filter table).
int MemoryKeys(Works *works, const KeyPress &k);
int FilterTableKeys(Works *works, const KeyPress &k);
