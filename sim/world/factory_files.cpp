#include "sim/world/factory_files.h"

#include "platform/paths.h"
#include "sim/world/sandbox.h"
#include "tuner/bank_files.h"

namespace {
constexpr int FACTORY_BANK = 1;
constexpr int INTERFACE_TAVO = 1;
}  // namespace

bool SeedFactoryAntennaTable(const std::string &root) {
  AntennaRow rows[ANTENNA_ROWS]{};
  InitAntennaRows(rows, 0);
  for (AntennaRow &r : rows) {
    r.AmpEnable = 1;
    r.Atu = 0;
  }
  // The target's path, taken as relative to the sandbox root.
  std::string path = AntennaTableFile(Paths{}.setDir, FACTORY_BANK).substr(1);
  return SeedFile(root, path, FormatAntennaTable(rows, ANTENNA_ROWS, INTERFACE_TAVO));
}
