#include "input/keyboard_events.h"

namespace {
constexpr int KEY_PRESSED = 1;
}

ServiceKey ServiceKeyOf(const input_event &ev) {
  if (ev.type != EV_KEY || ev.value != KEY_PRESSED) return ServiceKey::None;
  switch (ev.code) {
    case KEY_SYSRQ:
      return ServiceKey::Screenshot;
    case KEY_F12:
      return ServiceKey::Exit;
    case KEY_F11:
      return ServiceKey::SaveSetup;
    case KEY_F10:
      return ServiceKey::RemoteService;
    default:
      return ServiceKey::None;
  }
}

bool InputEventBuffer::Filled(size_t n) {
  have += n < RestSize() ? n : RestSize();
  if (have < sizeof ev) return false;
  have = 0;
  return true;
}
