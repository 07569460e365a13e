#include "settings/safe_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/log.h"
#include "platform/paths.h"
#include "platform/shell.h"

void (*settingsWriteAfterTempHook)(const std::string &tempPath) = nullptr;

namespace {
const std::string TEMP_SUFFIX = ".tmp";  // the new content before it replaces the file

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

enum class Replaced { Done, OpenFailed, WriteFailed };

Replaced ReplaceFile(const std::string &path, const std::string &content) {
  std::string temp = path + TEMP_SUFFIX;
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    LogSys(LOG_PRIO_ERR, "can't open %s for writing: %s", temp.c_str(), strerror(errno));
    return Replaced::OpenFailed;
  }
  bool ok = WriteAll(fd, content) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok) {
    LogSys(LOG_PRIO_ERR, "can't write %s: %s", temp.c_str(), strerror(errno));
    unlink(temp.c_str());
    return Replaced::WriteFailed;
  }
  if (settingsWriteAfterTempHook) settingsWriteAfterTempHook(temp);
  if (rename(temp.c_str(), path.c_str()) != 0) {
    LogSys(LOG_PRIO_ERR, "can't replace %s: %s", path.c_str(), strerror(errno));
    unlink(temp.c_str());
    return Replaced::WriteFailed;
  }
  SyncDirectory(path);
  return Replaced::Done;
}

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

std::mutex &SettingsPartitionMutex() {
  static std::mutex mutex;
  return mutex;
}

bool WriteSettingsFile(const std::string &path, const std::string &content,
                       OnOpenFailure onOpenFailure) {
  std::lock_guard<std::mutex> lock(SettingsPartitionMutex());
  if (!MountRw()) return false;
  Replaced result = ReplaceFile(path, content);
  if (result == Replaced::OpenFailed && onOpenFailure == OnOpenFailure::LeaveWritable) return false;
  MountRo();
  return result == Replaced::Done;
}

bool AppendSettingsFile(const std::string &path, const std::string &text) {
  std::lock_guard<std::mutex> lock(SettingsPartitionMutex());
  if (!MountRw()) return false;
  bool ok = AppendFile(path, text);
  MountRo();
  return ok;
}

bool ReplaceSystemFile(const std::string &path, const std::string &content) {
  return ReplaceFile(path, content) == Replaced::Done;
}

SettingsCommand RunSettingsCommand(const std::string &command) {
  std::lock_guard<std::mutex> lock(SettingsPartitionMutex());
  if (!MountRw()) return SettingsCommand::NotWritable;
  bool ok = RunShell(command);
  MountRo();
  return ok ? SettingsCommand::Done : SettingsCommand::Failed;
}

void RemoveInterruptedSaves() {
  const std::string &dir = GetPaths().setDir;
  std::vector<std::string> left;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() > TEMP_SUFFIX.size() &&
        name.compare(name.size() - TEMP_SUFFIX.size(), TEMP_SUFFIX.size(), TEMP_SUFFIX) == 0)
      left.push_back(entry.path().string());
  }
  if (left.empty()) return;
  std::lock_guard<std::mutex> lock(SettingsPartitionMutex());
  if (!MountRw()) return;
  for (const std::string &path : left) {
    if (unlink(path.c_str()) == 0)
      LogSys(LOG_PRIO_INFO, "removed %s, left by an interrupted save", path.c_str());
    else
      LogSys(LOG_PRIO_ERR, "can't remove %s: %s", path.c_str(), strerror(errno));
  }
  MountRo();
}
