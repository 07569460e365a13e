#pragma once
// One kestra-sim unit in its own sandbox for the system tests: seeded
// settings and scenario, a quick start, events through its control FIFO, and
// what it logs, prints and reports.
#include <string>

#include "tests/support/sim_process.h"

constexpr double SIM_UNIT_START_LIMIT = 120;  // a unit's start-up, under load
constexpr double SIM_UNIT_EVENT_LIMIT = 60;

class SimUnit {
 public:
  SimUnit(const std::string &name, const std::string &setup, const std::string &scenario = "");
  ~SimUnit();  // stops the unit and removes its sandbox
  SimUnit(const SimUnit &) = delete;
  SimUnit &operator=(const SimUnit &) = delete;

  bool Start();
  // An orderly stop; the exit status.
  int Stop();
  // A scenario event now ("audio unplug").
  void Event(const std::string &line);
  std::string Log() const;
  bool Logged(const std::string &text, double seconds = SIM_UNIT_EVENT_LIMIT, int count = 1) const;
  bool Printed(const std::string &text, double seconds = SIM_UNIT_EVENT_LIMIT, int count = 1) const;
  std::string Output() const { return process_.Output(); }
  std::string Report() const;
  const std::string &Root() const { return root_; }

 private:
  std::string root_;
  SimProcess process_;
};
