#pragma once
// A kestra-sim run with a scenario in a fresh sandbox, and readers of the
// parts of its JSON report the system tests look at.
#include <string>
#include <vector>

#include "tests/support/sim_process.h"

struct ScenarioRun {
  std::string root;
  SimRun run;
  std::string report;
};

// Seeds setup.txt (and the antenna table of bank 1 when given), runs the
// unit for `seconds` with the scenario and reads the report. The sandbox is
// removed afterwards unless `keep` is set.
ScenarioRun RunSimScenario(const std::string &name, const std::string &setup,
                           const std::string &scenario, double seconds,
                           const std::string &antennaTable = "", bool keep = false);

struct AmpFrame {
  double t;
  std::string text;
};
// The command texts the simulated amplifier received, in order.
std::vector<AmpFrame> AmplifierFrames(const std::string &report);
// The same without the idle polls ("ST;" and "FM;").
std::vector<AmpFrame> AmplifierCommands(const std::string &report, double after = 0);

// The text of a section of the report ("controller", "transceiver", ...).
std::string ReportSection(const std::string &report, const std::string &name);
