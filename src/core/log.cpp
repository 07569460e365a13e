#include "core/log.h"

#include <syslog.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
std::atomic<LogCapture *> capture{nullptr};
std::mutex mirrorMutex;
FILE *mirror = nullptr;

std::string Format(const char *fmt, va_list ap) {
  char small[512];
  va_list copy;
  va_copy(copy, ap);
  int n = vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
  std::string big(n + 1, '\0');
  vsnprintf(big.data(), big.size(), fmt, ap);
  big.resize(n);
  return big;
}
}  // namespace

std::string StrPrintf(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = Format(fmt, ap);
  va_end(ap);
  return text;
}

void LogSys(int priority, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = Format(fmt, ap);
  va_end(ap);
  if (LogCapture *c = capture.load()) {
    c->AddSys(priority, text);
    return;
  }
  syslog(priority, "%s", text.c_str());
  std::lock_guard<std::mutex> lock(mirrorMutex);
  if (mirror) {
    fprintf(mirror, "<%d> %s%s", priority, text.c_str(),
            (!text.empty() && text.back() == '\n') ? "" : "\n");
    fflush(mirror);
  }
}

void LogErr(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = Format(fmt, ap);
  va_end(ap);
  if (LogCapture *c = capture.load()) {
    c->AddErr(text);
    return;
  }
  fputs(text.c_str(), stderr);
}

void MirrorSysLogTo(const std::string &path) {
  std::lock_guard<std::mutex> lock(mirrorMutex);
  if (mirror) fclose(mirror);
  mirror = fopen(path.c_str(), "a");
}

LogCapture::LogCapture() { capture.store(this); }

LogCapture::~LogCapture() { capture.store(nullptr); }

std::vector<LogCapture::SysLine> LogCapture::Sys() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sys_;
}

std::vector<std::string> LogCapture::Err() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return err_;
}

bool LogCapture::SysHas(const std::string &text, int priority) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto &line : sys_)
    if (line.text.find(text) != std::string::npos && (priority < 0 || line.priority == priority))
      return true;
  return false;
}

bool LogCapture::ErrHas(const std::string &text) const { return ErrCount(text) > 0; }

int LogCapture::ErrCount(const std::string &text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int n = 0;
  for (const auto &line : err_)
    if (line.find(text) != std::string::npos) n++;
  return n;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  sys_.clear();
  err_.clear();
}

void LogCapture::AddSys(int priority, const std::string &text) {
  std::lock_guard<std::mutex> lock(mutex_);
  sys_.push_back({priority, text});
}

void LogCapture::AddErr(const std::string &text) {
  std::lock_guard<std::mutex> lock(mutex_);
  err_.push_back(text);
}
