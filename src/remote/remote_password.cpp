#include "remote/remote_password.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"

namespace {
std::atomic<bool> warned{false};

bool Usable(const std::string &line) {
  if (line.empty() || line.size() > REMOTE_PASSWORD_MAX) return false;
  for (char c : line)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}
}  // namespace

void LoadRemotePassword(Works *works) {
  const std::string &path = GetPaths().remotePasswordFile;
  std::ifstream in(path);
  std::string line;
  if (in && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Usable(line)) {
      snprintf(works->remote.password, sizeof works->remote.password, "%s", line.c_str());
      works->remote.privatePassword = true;
      return;
    }
    LogSys(LOG_PRIO_ERR, "%s: not a usable password (1 to %d characters)", path.c_str(),
           REMOTE_PASSWORD_MAX);
  }
  if (!warned.exchange(true))
    LogSys(LOG_PRIO_ERR, "remote link: the fixed password is in use; a unit's own goes in %s",
           path.c_str());
}

bool RemotePasswordMatches(const Works *works, const char *text, size_t len) {
  const char *expected = works->remote.password;
  return len == strlen(expected) && memcmp(text, expected, len) == 0;
}

std::string ShownPassword(const Works *works) {
  if (!works->remote.privatePassword) return works->remote.password;
  return std::string(strlen(works->remote.password), '*');
}
