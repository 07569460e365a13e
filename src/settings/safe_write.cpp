#include "settings/safe_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/log.h"
#include "platform/paths.h"
#include "platform/shell.h"

void (*settingsWriteAfterTempHook)(const std::string &tempPath) = nullptr;

namespace {
bool MountRw() {
  if (RunShell(MountSettingsRwCommand())) return true;
  int err = errno;
  LogSys(LOG_PRIO_ERR, "can't mount rw %s/ error %d", GetPaths().setDir.c_str(), err);
  LogErr("can't mount rw %s/ error %d\n", GetPaths().setDir.c_str(), err);
  return false;
}

void MountRo() {
  if (RunShell(MountSettingsRoCommand())) return;
  LogSys(LOG_PRIO_ERR, "can't mount ro %s/ error %d", GetPaths().setDir.c_str(), errno);
}

bool WriteAll(int fd, const std::string &data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string &path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + (slash == 0 ? 1 : 0));
}

void SyncDirectory(const std::string &path) {
  int dir = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir < 0) return;
  fsync(dir);
  close(dir);
}

}  // namespace

bool ReplaceFile(const std::string &path, const std::string &content) {
  std::string temp = path + ".tmp";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    LogSys(LOG_PRIO_ERR, "can't open %s for writing: %s", temp.c_str(), strerror(errno));
    return false;
  }
  bool ok = WriteAll(fd, content) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok) {
    LogSys(LOG_PRIO_ERR, "can't write %s: %s", temp.c_str(), strerror(errno));
    unlink(temp.c_str());
    return false;
  }
  if (settingsWriteAfterTempHook) settingsWriteAfterTempHook(temp);
  if (rename(temp.c_str(), path.c_str()) != 0) {
    LogSys(LOG_PRIO_ERR, "can't replace %s: %s", path.c_str(), strerror(errno));
    unlink(temp.c_str());
    return false;
  }
  SyncDirectory(path);
  return true;
}

namespace {
bool AppendFile(const std::string &path, const std::string &text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) {
    LogSys(LOG_PRIO_ERR, "can't open %s for appending: %s", path.c_str(), strerror(errno));
    return false;
  }
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok) LogSys(LOG_PRIO_ERR, "can't append to %s: %s", path.c_str(), strerror(errno));
  return ok;
}
}  // namespace

// A failed open leaves the partition writable, as it always has: the next
// successful save remounts it read-only.
bool WriteSettingsFile(const std::string &path, const std::string &content) {
  if (!MountRw()) return false;
  if (!ReplaceFile(path, content)) return false;
  MountRo();
  return true;
}

bool AppendSettingsFile(const std::string &path, const std::string &text) {
  if (!MountRw()) return false;
  if (!AppendFile(path, text)) return false;
  MountRo();
  return true;
}

SettingsCommand RunSettingsCommand(const std::string &command) {
  if (!MountRw()) return SettingsCommand::NotWritable;
  bool ok = RunShell(command);
  MountRo();
  return ok ? SettingsCommand::Done : SettingsCommand::Failed;
}
