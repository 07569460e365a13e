#include "network/lan_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/log.h"
#include "core/works.h"
#include "platform/shell.h"

namespace {
constexpr size_t LINE_LENGTH = 31;
constexpr size_t OUTPUT_LIMIT = 1024;
constexpr const char *NO_CONNECTION = "No Conn";

// Lines of at most 31 characters: a longer one goes on as the next line, as
// a reader with a 32-byte buffer sees it.
std::vector<std::string> OutputLines(const std::string &output) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < output.size()) {
    size_t end = output.find('\n', at);
    size_t length = (end == std::string::npos ? output.size() : end) - at;
    if (length > LINE_LENGTH) {
      lines.push_back(output.substr(at, LINE_LENGTH));
      at += LINE_LENGTH;
      continue;
    }
    lines.push_back(output.substr(at, length));
    at += length + 1;
  }
  return lines;
}

struct Version {
  int major, minor;
};

// "00.063": major the leading number, minor the number of characters 4 to 6.
Version ParseVersion(const std::string &text) {
  Version v{atoi(text.c_str()), 0};
  if (text.size() > 3) v.minor = atoi(text.substr(3, 3).c_str());
  return v;
}

// A text that starts with 'N' or has 'o' second ("No Conn") means no connection.
bool Connected(const std::string &text) {
  return !(text.size() > 0 && text[0] == 'N') && !(text.size() > 1 && text[1] == 'o');
}

std::string WithoutControls(std::string text) {
  size_t cut = text.find_first_of("\n\t\r");
  if (cut != std::string::npos) text.resize(cut);
  return text;
}
}  // namespace

LanReport ParseLanReport(const std::string &output, const char *ownVersion) {
  LanReport report;
  report.connection = NO_CONNECTION;
  std::vector<std::string> lines = OutputLines(output);
  if (!lines.empty()) report.webVersion = lines.front();
  if (lines.size() > 1) report.connection = lines[1];
  LogErr("!!!myvorn: %i %s %s\n", int(lines.size()), report.webVersion.c_str(),
         report.connection.c_str());
  if (!lines.empty()) report.connection = WithoutControls(lines.back());
  if (!Connected(report.connection)) return report;
  Version web = ParseVersion(report.webVersion), own = ParseVersion(ownVersion);
  report.updateAvailable =
      web.major > own.major || (web.major == own.major && web.minor > own.minor);
  LogErr("!!!1-update: %i web:%s loc:%s\n", int(report.updateAvailable), report.webVersion.c_str(),
         ownVersion);
  LogErr("!!!2-update: %i web:%d.%d  loc:%d.%d\n", int(report.updateAvailable), web.major,
         web.minor, own.major, own.minor);
  return report;
}

void ReadLANconnection(Works *works) {
  works->core.softwareUpdate = 0;
  {
    std::lock_guard<std::mutex> lock(works->net.infoMutex);
    snprintf(works->net.lanInfo, sizeof works->net.lanInfo, "%s", NO_CONNECTION);
  }
  std::string output = ReadShell("my_vorn 2>/dev/null", OUTPUT_LIMIT);
  if (output.empty()) {
    LogErr("my_vorn: no answer, the network state stays unknown\n");
    return;
  }
  const char *own = works->core.version[0] ? works->core.version : KESTRA_VERSION;
  LanReport report = ParseLanReport(output, own);
  {
    std::lock_guard<std::mutex> lock(works->net.infoMutex);
    snprintf(works->net.lanInfo, sizeof works->net.lanInfo, "%s", report.connection.c_str());
  }
  works->core.softwareUpdate = report.updateAvailable ? 1 : 0;
}

void NetworkText(Works *works, char *text, size_t size) {
  std::lock_guard<std::mutex> lock(works->net.infoMutex);
  snprintf(text, size, "%s", works->net.lanInfo);
}
