#pragma once
// The `keyb` thread: the service keyboard. It waits for a keyboard under the
// input-device glob, takes it for itself and turns four keys into service
// actions: SysRq a screenshot, F10 the remote service shell, F11 a save of
// the settings, F12 the end of the program.
struct Works;

void keyb(Works *works);
