#pragma once
// Scenario files: one timed event per line, "<seconds> <subject> <verb> [args…]",
// '#' starts a comment.
#include <string>
#include <vector>

struct ScenarioEvent {
  double t = 0;  // seconds since the simulation started
  std::string subject;
  std::string verb;
  std::vector<std::string> args;
  int line = 0;
  std::string text;  // the event as written, for messages and the report
};

// Parses a scenario; on a malformed line returns false with "line N: reason".
bool ParseScenario(const std::string &text, std::vector<ScenarioEvent> &events, std::string &error);

// Argument helpers for the devices: parse args[index] or fail with a reason.
bool ArgDouble(const ScenarioEvent &ev, size_t index, double &value, std::string &error);
bool ArgInt(const ScenarioEvent &ev, size_t index, long &value, std::string &error);
// A device's refusal of an event: "'<event>': <why>" in `error`, false back.
bool RefuseEvent(const ScenarioEvent &ev, const std::string &why, std::string &error);
