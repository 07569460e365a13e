#pragma once
// Scenario files: one timed event per line, "<seconds> <subject> <verb> [args…]",
// '#' starts a comment. A time written "+SECONDS" counts from the moment the
// line before it was carried out (a step that waits, such as "screen await",
// moves the steps after it).
#include <string>
#include <vector>

struct ScenarioEvent {
  double t = 0;           // seconds since the simulation started
  bool relative = false;  // `t` counts from the line before
  std::string subject;
  std::string verb;
  std::vector<std::string> args;
  int line = 0;
  std::string text;  // the event as written, for messages and the report
};

// Parses a scenario; on a malformed line returns false with "line N: reason".
// Events come in time order; a relative event stays after the line it follows.
bool ParseScenario(const std::string &text, std::vector<ScenarioEvent> &events, std::string &error);

// One event without a time ("trx freq 7100000"), as the control FIFO and
// the page send them: an event of time 0, the moment it is applied, and so
// its text ("0 trx freq 7100000"), as the report lists it; false with the
// reason for a malformed line.
bool ParseEventLine(const std::string &line, ScenarioEvent &ev, std::string &error);

// Argument helpers for the devices: parse args[index] or fail with a reason.
bool ArgDouble(const ScenarioEvent &ev, size_t index, double &value, std::string &error);
bool ArgInt(const ScenarioEvent &ev, size_t index, long &value, std::string &error);
// A device's refusal of an event: "'<event>': <why>" in `error`, false back.
bool RefuseEvent(const ScenarioEvent &ev, const std::string &why, std::string &error);
