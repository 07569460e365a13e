#include "tests/support/sim_report.h"

#include <filesystem>
#include <fstream>
#include <regex>

ScenarioRun RunSimScenario(const SimScenario &s) {
  ScenarioRun r;
  r.root = FreshSimRoot(s.name);
  std::filesystem::create_directories(r.root + "/opt/set");
  std::ofstream(r.root + "/opt/set/setup.txt") << s.setup;
  for (const auto &[path, content] : s.files) std::ofstream(r.root + "/" + path) << content;
  std::ofstream(r.root + "/scenario.txt") << s.scenario;
  std::vector<std::string> args = {"--root",
                                   r.root,
                                   "--headless",
                                   "--duration",
                                   std::to_string(s.seconds),
                                   "--scenario",
                                   r.root + "/scenario.txt",
                                   "--report",
                                   r.root + "/report.json"};
  if (s.quickStart) args.push_back("--quick-start");
  r.run = RunKestraSim(KESTRA_SIM_BINARY, args, s.seconds + 90);
  r.report = ReadTextFile(r.root + "/report.json");
  if (!s.keep) std::filesystem::remove_all(r.root);
  return r;
}

ScenarioRun RunSimScenario(const std::string &name, const std::string &setup,
                           const std::string &scenario, double seconds,
                           const std::string &antennaTable, bool keep) {
  SimScenario s{name, setup, scenario, seconds, {}, false, keep};
  if (!antennaTable.empty()) s.files.push_back({"opt/set/antenna_b1.txt", antennaTable});
  return RunSimScenario(s);
}

double EventApplied(const std::string &report, const std::string &text) {
  std::regex event("\\{\"t\":[0-9.e+-]+,\"applied\":([0-9.e+-]+),\"event\":\"([^\"]*)\"");
  for (std::sregex_iterator it(report.begin(), report.end(), event), last; it != last; ++it)
    if ((*it)[2] == text) return std::stod((*it)[1]);
  return -1;
}

std::string ReportSection(const std::string &report, const std::string &name) {
  size_t at = report.find("\"" + name + "\":{");
  if (at == std::string::npos) return "";
  // Sections are objects; find the brace that closes this one.
  int depth = 0;
  bool inString = false;
  for (size_t i = report.find('{', at); i < report.size(); i++) {
    char c = report[i];
    if (c == '"' && report[i - 1] != '\\') inString = !inString;
    if (inString) continue;
    if (c == '{') depth++;
    if (c == '}' && --depth == 0) return report.substr(at, i + 1 - at);
  }
  return report.substr(at);
}

std::vector<AmpFrame> AmplifierFrames(const std::string &report) {
  std::string part = ReportSection(report, "amplifier");
  std::vector<AmpFrame> frames;
  std::regex frame("\\{\"t\":([0-9.e+-]+),\"crc\":\"[^\"]*\",\"text\":\"([^\"]*)\"\\}");
  for (std::sregex_iterator it(part.begin(), part.end(), frame), last; it != last; ++it)
    frames.push_back({std::stod((*it)[1]), (*it)[2]});
  return frames;
}

std::vector<AmpFrame> AmplifierCommands(const std::string &report, double after) {
  std::vector<AmpFrame> commands;
  for (const AmpFrame &f : AmplifierFrames(report))
    if (f.t > after && f.text != "ST;" && f.text != "FM;") commands.push_back(f);
  return commands;
}

std::vector<std::string> WithoutResends(const std::vector<std::string> &texts) {
  std::vector<std::string> kept;
  for (const std::string &t : texts)
    if (kept.empty() || kept.back() != t) kept.push_back(t);
  return kept;
}
