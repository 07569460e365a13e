#pragma once
// A kestra-sim run with a scenario in a fresh sandbox, and readers of the
// parts of its JSON report the system tests look at.
#include <string>
#include <utility>
#include <vector>

#include "tests/support/sim_process.h"

struct ScenarioRun {
  std::string root;
  SimRun run;
  std::string report;
};

// One kestra-sim run of a system test.
struct SimScenario {
  std::string name;      // part of the sandbox's name
  std::string setup;     // setup.txt
  std::string scenario;  // the timed events
  double seconds = 0;    // --duration
  // Further files of the sandbox, by path under the root
  // ("opt/set/antenna_b1.txt"), written before the run.
  std::vector<std::pair<std::string, std::string>> files;
  bool quickStart = true;  // --quick-start: the unit runs about 1.5 s in
  bool keep = false;       // leave the sandbox for the test to read
};

// Seeds the files, runs the unit and reads the report. The sandbox is
// removed afterwards unless `keep` is set.
ScenarioRun RunSimScenario(const SimScenario &s);

// The same with the real start-up timing: setup.txt and, when given, the
// antenna table of bank 1.
ScenarioRun RunSimScenario(const std::string &name, const std::string &setup,
                           const std::string &scenario, double seconds,
                           const std::string &antennaTable = "", bool keep = false);

// When the report says the scenario event `text` was applied (seconds of the
// run); −1 when it was not.
double EventApplied(const std::string &report, const std::string &text);

struct AmpFrame {
  double t;
  std::string text;
};
// The command texts the simulated amplifier received, in order.
std::vector<AmpFrame> AmplifierFrames(const std::string &report);
// The same without the idle polls ("ST;" and "FM;").
std::vector<AmpFrame> AmplifierCommands(const std::string &report, double after = 0);

// The texts with each run of one repeated text kept once: a command resent
// after a time-out counts as sent once.
std::vector<std::string> WithoutResends(const std::vector<std::string> &texts);

// The text of a section of the report ("controller", "transceiver", ...).
std::string ReportSection(const std::string &report, const std::string &name);
