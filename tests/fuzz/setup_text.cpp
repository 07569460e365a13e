// setup.txt is edited by hand: any bytes must leave every checked number in
// its range, the bank among the banks, and every text field terminated
// within its capacity.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "core/log.h"
#include "core/works.h"
#include "settings/setup_record.h"

namespace {
template <size_t N>
bool Terminated(const char (&field)[N]) {
  return memchr(field, '\0', N) != nullptr;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  LogCapture quiet;
  auto works = std::make_unique<Works>();
  SetupRecord setup{};
  works->cfg.setup = &setup;
  initSetup(works.get());
  std::istringstream in(std::string(reinterpret_cast<const char *>(data), size));
  ApplySetupText(works.get(), in);
  const SettingsState &cfg = works->cfg;
  int antenna = works->tuner.antennaIdx;
  if (antenna < 0 || antenna > 2 || cfg.Attenuator > 3 || cfg.AttenuatorTune > 3) abort();
  if (cfg.AutoTuneMaxCicli > 4 || cfg.SaveScreenIdx > 4 || cfg.AutoTuneMode > 3) abort();
  if (cfg.MAXbank < 2 || cfg.MAXbank > 20 || cfg.NumBanco < 0 || cfg.NumBanco >= cfg.MAXbank)
    abort();
  if (cfg.PSpar1 < 0 || cfg.PSpar1 > 9999 || cfg.GMpar2 < 0 || cfg.GMpar2 > 9999) abort();
  if (!Terminated(setup.Server) || !Terminated(setup.LinPort) || !Terminated(setup.NumBanco) ||
      !Terminated(setup.CatSerialPort) || setup.terminator != 0)
    abort();
  return 0;
}
