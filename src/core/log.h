#pragma once
// The two log channels: the system log (priority 3 for failures, 6 for
// progress) and free-form diagnostic lines on standard error.
#include <mutex>
#include <string>
#include <vector>

constexpr int LOG_PRIO_ERR = 3;
constexpr int LOG_PRIO_INFO = 6;

void LogSys(int priority, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void LogErr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
// printf-style formatting into a string, for texts built in pieces.
std::string StrPrintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// Copies every system-log line, with its priority, to a file as well (the
// simulator keeps one in the sandbox, where no system logger may run).
void MirrorSysLogTo(const std::string &path);

// While one exists, both channels are recorded here instead of being written.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture &) = delete;
  LogCapture &operator=(const LogCapture &) = delete;

  struct SysLine {
    int priority;
    std::string text;
  };
  std::vector<SysLine> Sys() const;
  std::vector<std::string> Err() const;
  bool SysHas(const std::string &text, int priority = -1) const;
  bool ErrHas(const std::string &text) const;
  int ErrCount(const std::string &text) const;
  void Clear();

  void AddSys(int priority, const std::string &text);
  void AddErr(const std::string &text);

 private:
  mutable std::mutex mutex_;
  std::vector<SysLine> sys_;
  std::vector<std::string> err_;
};
