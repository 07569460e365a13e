#include "sim/world/options.h"

#include <cstdlib>
#include <cstring>

const char *SIM_USAGE =
    "usage: kestra-sim [--root DIR] [--headless] [--duration SECONDS] [--scenario FILE]\n"
    "                  [--report FILE] [--only DEVICE] [--no-pacing] [--snapshot FILE]\n"
    "                  [--quick-start] [--control FIFO] [--http PORT]\n";

namespace {
bool ParsePort(const std::string &text, int &port) {
  char *end = nullptr;
  long value = strtol(text.c_str(), &end, 10);
  if (text.empty() || !end || *end || value < 0 || value > 65535) return false;
  port = int(value);
  return true;
}
}  // namespace

bool ServesPage(const SimOptions &options) {
  return options.only.empty() && (options.httpPort >= 0 || !options.headless);
}

bool ParseSimOptions(int argc, char **argv, SimOptions &options, std::string &error) {
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    auto value = [&](std::string &out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--no-pacing") {
      options.noPacing = true;
    } else if (arg == "--quick-start") {
      options.quickStart = true;
    } else if (arg == "--root") {
      if (!value(options.root)) return false;
    } else if (arg == "--scenario") {
      if (!value(options.scenario)) return false;
    } else if (arg == "--report") {
      if (!value(options.report)) return false;
    } else if (arg == "--snapshot") {
      if (!value(options.snapshot)) return false;
    } else if (arg == "--control") {
      if (!value(options.control)) return false;
    } else if (arg == "--only") {
      if (!value(options.only)) return false;
    } else if (arg == "--http") {
      if (!value(text)) return false;
      if (!ParsePort(text, options.httpPort)) {
        error = "--http needs a port number from 0 to 65535, not '" + text + "'";
        return false;
      }
    } else if (arg == "--duration") {
      if (!value(text)) return false;
      char *end = nullptr;
      options.duration = strtod(text.c_str(), &end);
      if (!end || *end || options.duration < 0) {
        error = "--duration needs a number of seconds, not '" + text + "'";
        return false;
      }
    } else {
      error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}
