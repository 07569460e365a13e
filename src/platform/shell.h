#pragma once
// Outside programs are run through the system shell, as on the target; the
// simulator puts stand-in scripts first on PATH.
#include <string>

// Runs `command`; true when it exited with status 0. errno is kept from a
// failed start so callers can report it.
bool RunShell(const std::string &command);

// Runs `command` and returns what it printed on standard output (at most
// `limit` bytes); empty when it could not be started.
std::string ReadShell(const std::string &command, size_t limit = 4096);

// The remount commands of the settings partition.
std::string MountSettingsRwCommand();
std::string MountSettingsRoCommand();
// The root file system made writable (the network settings live there).
std::string MountRootRwCommand();
