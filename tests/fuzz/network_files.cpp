// The interfaces file is edited by hand and my_vorn's output comes from
// outside: any bytes must parse, and a rewrite must keep every line that
// names no address and the line count.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/log.h"
#include "network/lan_info.h"
#include "network/lan_settings.h"

namespace {
size_t Lines(const std::string &text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n + (!text.empty() && text.back() != '\n');
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  LogCapture quiet;
  std::string text(reinterpret_cast<const char *>(data), size);
  LanTexts found = ParseInterfaces(text);
  if (found.address.size() > text.size()) abort();
  std::string out;
  if (RewriteInterfaces(text, out) && Lines(out) != Lines(text)) abort();
  LanReport report = ParseLanReport(text, "00.063");
  if (report.connection.size() > 31 || report.webVersion.size() > 31) abort();
  return 0;
}
