#pragma once
// The service keyboard's input events: whole events out of the bytes read
// from the device, and the service action of a key press.
#include <linux/input.h>

#include <cstddef>

enum class ServiceKey { None, Screenshot, Exit, SaveSetup, RemoteService };

// Presses only (value 1): releases, auto-repeats and other event types do
// nothing, and so do keys without a service action.
ServiceKey ServiceKeyOf(const input_event &ev);

// Collects one event in the host's own layout across short reads.
struct InputEventBuffer {
  input_event ev{};
  size_t have = 0;

  void *Rest() { return reinterpret_cast<char *>(&ev) + have; }
  size_t RestSize() const { return sizeof ev - have; }
  // Counts `n` more bytes read into Rest(); true when the event is whole
  // (the next read then starts a new one).
  bool Filled(size_t n);
};
