#include "ui/key_dispatch.h"

#include "core/works.h"

// Temporary until the screens' dispatch is built: no screen changes; held
// keys 2 to 5 repeat, as they will on the manual-tune screen.
int DecodeTasto(Works *works, int key, int holdMask) {
  works->ui.uiMessage.fetch_and(static_cast<uint8_t>(~UI_MSG_LONG_PRESS));
  return holdMask != 0 && key >= 2 && key <= 5;
}
