#pragma once
// A throw-away sandbox root for one test: the settings directory and the
// stand-ins exist, the process-wide paths point into it, and it is removed
// at the end.
#include <string>

#include "platform/paths.h"

class TestSandbox {
 public:
  TestSandbox();
  ~TestSandbox();
  TestSandbox(const TestSandbox &) = delete;
  TestSandbox &operator=(const TestSandbox &) = delete;

  const std::string &Root() const { return root_; }
  const Paths &P() const { return GetPaths(); }
  std::string Read(const std::string &path) const;
  void Write(const std::string &path, const std::string &content) const;

 private:
  std::string root_;
  Paths previous_;
};

// A shared record with its setup record, transceiver record and spectrum
// arrays attached and the defaults applied.
struct Works;
struct TestCompanions;
struct TestWorks {
  TestWorks();
  ~TestWorks();
  Works *operator->() { return works; }
  Works *works;
  TestCompanions *companions;
};
