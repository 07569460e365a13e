// Reads bytes as config.txt, ventola.txt and filter.txt, then uses the
// tables the way the running unit does.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "amplifier/cmd_queue.h"
#include "amplifier/errors.h"
#include "amplifier/thermal.h"
#include "core/log.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/calibration.h"
#include "settings/fan_table.h"
#include "settings/filters.h"
#include "settings/setup_record.h"

namespace {
const Paths &Sandbox() {
  static Paths paths = [] {
    char dir[] = "/tmp/kestra-fuzz-XXXXXX";
    Paths p = PathsUnder(mkdtemp(dir));
    std::filesystem::create_directories(p.setDir);
    SetPaths(p);
    return p;
  }();
  return paths;
}

void WriteFile(const std::string &path, const uint8_t *data, size_t size) {
  FILE *out = fopen(path.c_str(), "wb");
  if (!out) return;
  fwrite(data, 1, size, out);
  fclose(out);
}

const uint32_t FREQUENCIES[] = {0,        1800000,  3500000,  7000000,
                                14070000, 29999999, 54000000, 4294967295u};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 65536) size = 65536;
  const Paths &paths = Sandbox();
  for (const std::string &file : {paths.configFile, paths.ventolaFile, paths.filterFile})
    WriteFile(file, data, size);
  LogCapture log;
  auto works = std::make_unique<Works>();
  SetupRecord setup{};
  works->cfg.setup = &setup;
  initSetup(works.get());
  InitErrDescr(works.get());
  ReadConfigFile(works.get());
  ReadVentolaFile(works.get());
  LoadTabFiltri(works.get());
  works->core.initDone = 1;
  for (uint32_t hz : FREQUENCIES) {
    works->link.currentFreq = hz;
    works->cfg.idxSogliaTS = -1;
    for (int type = -1; type <= 4; type++) SearchK(works.get(), type);
    SearchCambioSoglie_TS(works.get());
    SetFilterFromfreq(works.get());
    works->link.temp1 = float(hz % 90);
    works->thermal.fanPending = 0;
    searchPercentVentola(works.get());
    for (int32_t cmd; TakeCmdLinear(works.get(), cmd);) {
    }
  }
  return 0;
}
