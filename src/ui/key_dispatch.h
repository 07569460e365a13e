#pragma once
// The key dispatch: what a front-panel key does in the current screen state.
struct Works;

// `key` 1..6; `holdMask` 0 for a short press (delivered at release), else
// the key's bit (key - 1) for a long press or a repeat. Non-zero back: the
// key repeats while it stays held. Clears the long-press message.
int DecodeTasto(Works *works, int key, int holdMask);
