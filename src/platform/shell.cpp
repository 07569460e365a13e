#include "platform/shell.h"

#include <cstdio>
#include <cstdlib>

#include "platform/paths.h"

bool RunShell(const std::string &command) {
  int status = std::system(command.c_str());
  return status == 0;
}

std::string ReadShell(const std::string &command, size_t limit) {
  std::string out;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[256];
  size_t n;
  while (out.size() < limit && (n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  pclose(pipe);
  if (out.size() > limit) out.resize(limit);
  return out;
}

std::string MountSettingsRwCommand() { return "mount -o remount defaults,rw " + GetPaths().setDir; }

std::string MountSettingsRoCommand() { return "mount -v -n -o remount -r " + GetPaths().setDir; }

std::string MountRootRwCommand() {
  const std::string &root = GetPaths().root;
  return "mount -o remount defaults,rw " + (root.empty() ? std::string("/") : root);
}
