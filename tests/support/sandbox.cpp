#include "tests/support/sandbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "amplifier/errors.h"
#include "core/works.h"
#include "settings/setup_record.h"
#include "sim/world/sandbox.h"

TestSandbox::TestSandbox() : previous_(GetPaths()) {
  char dir[] = "/tmp/kestra-test-XXXXXX";
  root_ = mkdtemp(dir);
  std::string error;
  if (!CreateSandbox(root_, error)) ADD_FAILURE() << error;
  SetPaths(PathsUnder(root_));
}

TestSandbox::~TestSandbox() {
  SetPaths(previous_);
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::string TestSandbox::Read(const std::string &path) const {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void TestSandbox::Write(const std::string &path, const std::string &content) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

struct TestCompanions {
  SetupRecord setup{};
  TavoParamsRecord tavoParams{};
  std::mutex serMut;
  SpectrumRecord spectrum;
  float levels[SPECTRUM_POINTS]{};
  float work[SPECTRUM_POINTS]{};
};

TestWorks::TestWorks() : works(new Works), companions(new TestCompanions) {
  works->cfg.setup = &companions->setup;
  works->trx.TavoParams = &companions->tavoParams;
  works->trx.serMut = &companions->serMut;
  companions->spectrum.levels = companions->levels;
  companions->spectrum.work = companions->work;
  works->trx.spectrum = &companions->spectrum;
  initSetup(works);
  InitErrDescr(works);
}

TestWorks::~TestWorks() {
  delete works;
  delete companions;
}
