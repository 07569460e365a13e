#include "network/lan_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/clock.h"
#include "core/log.h"
#include "core/threads.h"
#include "core/works.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "settings/safe_write.h"

char IP[LAN_TEXT_SIZE], NetMask[LAN_TEXT_SIZE], Gateway[LAN_TEXT_SIZE], DNS[LAN_TEXT_SIZE],
    MAC[LAN_TEXT_SIZE];
Octets IP_v, NetMask_v, Gateway_v, DNS_v;
uint8_t MAC_v[6];
std::atomic<uint8_t> Gateway_none{0}, DNS_none{0};

namespace {
constexpr const char *BLANKS = " \t";
constexpr const char *RESTART_COMMAND = "sudo ifdown --exclude=lo -a && sudo ifup --exclude=lo -a";

struct Line {
  std::string text;  // without its line feed
  bool newline;
};

std::vector<Line> SplitLines(const std::string &text) {
  std::vector<Line> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) {
      lines.push_back({text.substr(at), false});
      break;
    }
    lines.push_back({text.substr(at, end - at), true});
    at = end + 1;
  }
  return lines;
}

// Keyword and value of a line: the first word after any leading blanks, and
// the rest after the blanks that follow it, without a trailing carriage return.
void KeywordAndValue(const std::string &line, std::string &keyword, std::string &value) {
  size_t start = line.find_first_not_of(BLANKS);
  if (start == std::string::npos) start = line.size();
  size_t end = line.find_first_of(BLANKS, start);
  if (end == std::string::npos) end = line.size();
  keyword = line.substr(start, end - start);
  size_t from = line.find_first_not_of(BLANKS, end);
  value = from == std::string::npos ? "" : line.substr(from);
  if (!value.empty() && value.back() == '\r') value.pop_back();
}

void Store(char (&text)[LAN_TEXT_SIZE], const std::string &value) {
  snprintf(text, sizeof text, "%s", value.c_str());
}

std::string Dotted(const char *keyword, const Octets &bytes) {
  return StrPrintf("%s %u.%u.%u.%u\n", keyword, unsigned(bytes[0]), unsigned(bytes[1]),
                   unsigned(bytes[2]), unsigned(bytes[3]));
}

// The keyword in the first column, followed by a blank or nothing.
bool StartsWithKeyword(const std::string &line, const char *keyword) {
  size_t n = strlen(keyword);
  return line.compare(0, n, keyword) == 0 &&
         (line.size() == n || line[n] == ' ' || line[n] == '\t' || line[n] == '\r');
}

std::string RewrittenLine(const Line &line) {
  if (StartsWithKeyword(line.text, "address")) {
    std::string text = Dotted("address", IP_v);
    LogErr("--->new ip: %s \n", text.c_str());
    return text;
  }
  if (StartsWithKeyword(line.text, "netmask")) return Dotted("netmask", NetMask_v);
  if (StartsWithKeyword(line.text, "gateway"))
    return Gateway_none ? "gateway \n" : Dotted("gateway", Gateway_v);
  if (StartsWithKeyword(line.text, "nameserver"))
    return DNS_none ? "nameserver \n" : Dotted("nameserver", DNS_v);
  return line.text + (line.newline ? "\n" : "");
}

bool ReadWhole(const std::string &path, std::string &text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LogErr("Error opening network connection configuration file. CODE: %d\n", errno);
    return false;
  }
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

// An address text, split, or marked absent.
void SplitOptional(const char *text, Octets &bytes, std::atomic<uint8_t> &none,
                   const char *format) {
  if (text[0]) {
    SplitAddr(text, bytes);
    none = 0;
    LogErr(format, text);
  } else {
    none = 1;
  }
}
}  // namespace

LanTexts ParseInterfaces(const std::string &text) {
  LanTexts found;
  std::string keyword, value;
  for (const Line &line : SplitLines(text)) {
    KeywordAndValue(line.text, keyword, value);
    if (keyword == "address")
      found.address = value;
    else if (keyword == "netmask")
      found.netmask = value;
    else if (keyword == "gateway")
      found.gateway = value;
    else if (keyword == "nameserver")
      found.nameserver = value;
  }
  return found;
}

bool RewriteInterfaces(const std::string &text, std::string &out) {
  std::vector<Line> lines = SplitLines(text);
  if (lines.size() > size_t(LAN_FILE_LINES)) {
    LogErr("interfaces: %zu lines, more than %d: not rewritten\n", lines.size(), LAN_FILE_LINES);
    return false;
  }
  for (const Line &line : lines) {
    if (line.text.size() > size_t(LAN_LINE_LENGTH)) {
      LogErr("interfaces: a line of %zu characters, more than %d: not rewritten\n",
             line.text.size(), LAN_LINE_LENGTH);
      return false;
    }
  }
  std::string rewritten;
  for (const Line &line : lines) rewritten += RewrittenLine(line);
  out = rewritten;
  return true;
}

void SplitAddr(const char *text, Octets &bytes) {
  char copy[LAN_TEXT_SIZE];
  snprintf(copy, sizeof copy, "%s", text);
  char *rest = copy;
  for (int i = 0; i < 4 && rest; i++) {
    char *dot = strchr(rest, '.');
    if (dot) *dot = '\0';
    bytes[i] = uint8_t(atoi(rest));
    rest = dot ? dot + 1 : nullptr;
  }
}

void SplitAddrInv(char *text, size_t size, const Octets &bytes) {
  snprintf(text, size, "%i.%i.%i.%i", int(bytes[0]), int(bytes[1]), int(bytes[2]), int(bytes[3]));
}

int ModifyIP(int op, int pos, Octets &bytes) {
  if (pos < 0 || pos > 3) pos = 3;
  switch (op) {
    case 1:
      bytes[pos] = uint8_t(bytes[pos] - 1);
      return pos;
    case 2:
      bytes[pos] = uint8_t(bytes[pos] + 1);
      return pos;
    case 3:
      return pos == 0 ? 3 : pos - 1;
    case 4:
      return pos == 3 ? 0 : pos + 1;
    default:
      return pos;
  }
}

int ReadLanParam() {
  DNS[0] = Gateway[0] = '\0';
  std::string text;
  if (!ReadWhole(GetPaths().networkInterfaces, text)) return -1;
  MAC[0] = '\0';
  LanTexts found = ParseInterfaces(text);
  Store(IP, found.address);
  Store(NetMask, found.netmask);
  Store(Gateway, found.gateway);
  Store(DNS, found.nameserver);
  if (IP[0]) LogErr("ip: %s\n", IP);
  if (NetMask[0]) LogErr("NetMask: %s\n", NetMask);
  SplitAddr(IP, IP_v);
  SplitAddr(NetMask, NetMask_v);
  SplitOptional(Gateway, Gateway_v, Gateway_none, "gateway: %s\n");
  SplitOptional(DNS, DNS_v, DNS_none, "DNS: %s\n");
  LogErr("ReadLanParam DNS_none=%d Gateway_none=%d\n", int(DNS_none), int(Gateway_none));
  return 0;
}

// The root file system is left writable, as the target's update procedure expects.
int SaveLanParam(Works *works) {
  if (!RunShell(MountRootRwCommand())) {
    int err = errno;
    LogSys(LOG_PRIO_ERR, "can't mount rw / %d", err);
    LogErr("can't mount rw / %d\n", err);
    return -1;
  }
  const std::string &path = GetPaths().networkInterfaces;
  std::string text, rewritten;
  if (!ReadWhole(path, text) || !RewriteInterfaces(text, rewritten)) return -1;
  if (!ReplaceSystemFile(path, rewritten)) return -1;
  int status = RunShell(RESTART_COMMAND) ? 0 : 1;
  SleepMillis(works->core.pauseSecondMs);
  if (!works->core.lanInfoBusy) StartThreadLANinfo(works);
  return status;
}
