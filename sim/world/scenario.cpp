#include "sim/world/scenario.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {
bool ParseNumber(const std::string &text, double &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  value = strtod(text.c_str(), &end);
  return errno == 0 && end && *end == '\0';
}
}  // namespace

bool ParseScenario(const std::string &text, std::vector<ScenarioEvent> &events,
                   std::string &error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    number++;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    ScenarioEvent ev;
    ev.relative = w[0][0] == '+';
    if (!ParseNumber(w[0].substr(ev.relative ? 1 : 0), ev.t) || ev.t < 0) {
      error = "line " + std::to_string(number) + ": '" + w[0] + "' is not a time in seconds";
      return false;
    }
    if (w.size() < 3) {
      error = "line " + std::to_string(number) + ": expected <seconds> <subject> <verb> [args]";
      return false;
    }
    ev.subject = w[1];
    ev.verb = w[2];
    ev.args.assign(w.begin() + 3, w.end());
    ev.line = number;
    ev.text = line.substr(0, line.find_last_not_of(" \t\r") + 1);
    events.push_back(ev);
  }
  // Sorted by the time of each run of lines: an absolute line and the
  // relative lines that follow it.
  std::vector<std::pair<double, std::vector<ScenarioEvent>>> runs;
  for (const ScenarioEvent &ev : events) {
    if (!ev.relative || runs.empty()) runs.push_back({ev.relative ? 0 : ev.t, {}});
    runs.back().second.push_back(ev);
  }
  std::stable_sort(runs.begin(), runs.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  events.clear();
  for (const auto &run : runs) events.insert(events.end(), run.second.begin(), run.second.end());
  return true;
}

bool ParseEventLine(const std::string &line, ScenarioEvent &ev, std::string &error) {
  std::vector<ScenarioEvent> events;
  if (!ParseScenario("0 " + line, events, error)) return false;
  if (events.size() != 1) {
    error = "expected one event: <subject> <verb> [args]";
    return false;
  }
  ev = events[0];
  return true;
}

bool ArgDouble(const ScenarioEvent &ev, size_t index, double &value, std::string &error) {
  if (index < ev.args.size() && ParseNumber(ev.args[index], value)) return true;
  error = "'" + ev.text + "': argument " + std::to_string(index + 1) + " must be a number";
  return false;
}

bool ArgInt(const ScenarioEvent &ev, size_t index, long &value, std::string &error) {
  double d;
  if (!ArgDouble(ev, index, d, error)) return false;
  if (d != static_cast<double>(static_cast<long>(d))) {
    error = "'" + ev.text + "': argument " + std::to_string(index + 1) + " must be a whole number";
    return false;
  }
  value = static_cast<long>(d);
  return true;
}

bool RefuseEvent(const ScenarioEvent &ev, const std::string &why, std::string &error) {
  error = "'" + ev.text + "': " + why;
  return false;
}
