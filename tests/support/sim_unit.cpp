#include "tests/support/sim_unit.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/wait.h"

SimUnit::SimUnit(const std::string &name, const std::string &setup, const std::string &scenario)
    : root_(FreshSimRoot(name)) {
  std::filesystem::create_directories(root_ + "/opt/set");
  std::ofstream(root_ + "/opt/set/setup.txt") << setup;
  std::ofstream(root_ + "/scenario.txt") << scenario;
}

SimUnit::~SimUnit() {
  process_.Stop(SIM_UNIT_EVENT_LIMIT);
  std::filesystem::remove_all(root_);
}

bool SimUnit::Start() {
  return process_.Start(
      KESTRA_SIM_BINARY,
      {"--root", root_, "--headless", "--duration", "400", "--scenario", root_ + "/scenario.txt",
       "--report", root_ + "/report.json", "--control", root_ + "/control", "--quick-start"});
}

int SimUnit::Stop() { return process_.Stop(SIM_UNIT_EVENT_LIMIT); }

void SimUnit::Event(const std::string &line) {
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(root_ + "/control"); }, 30));
  int fd = open((root_ + "/control").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  std::string text = line + "\n";
  EXPECT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
  close(fd);
}

std::string SimUnit::Log() const { return ReadTextFile(root_ + "/var/log/kestra.log"); }

bool SimUnit::Logged(const std::string &text, double seconds, int count) const {
  return WaitForFileText(root_ + "/var/log/kestra.log", text, seconds, count);
}

bool SimUnit::Printed(const std::string &text, double seconds, int count) const {
  return process_.WaitForOutput(text, seconds, count);
}

std::string SimUnit::Report() const { return ReadTextFile(root_ + "/report.json"); }
