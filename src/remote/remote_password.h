#pragma once
// The remote-access password: a unit may carry its own in an optional file
// of the settings partition; without it both ends use the fixed password,
// so that existing peers keep working.
#include <cstddef>
#include <string>

struct Works;

// Takes the first line of the password file when there is one (1 to 125
// characters); warns once per run while the fixed password is in use.
void LoadRemotePassword(Works *works);

// True when `text` of `len` bytes is exactly the password.
bool RemotePasswordMatches(const Works *works, const char *text, size_t len);

// The password as the log may show it: a unit's own password is not written
// into the log.
std::string ShownPassword(const Works *works);
