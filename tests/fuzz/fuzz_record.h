#pragma once
// A shared record with the records it points to, for the fuzz targets that
// run the unit's own handling of a stream.
#include <memory>
#include <mutex>

#include "core/works.h"
#include "settings/setup_record.h"

struct FuzzRecord {
  FuzzRecord() {
    spectrum.levels = levels;
    works->cfg.setup = &setup;
    works->trx.TavoParams = &params;
    works->trx.serMut = &serMut;
    works->trx.spectrum = &spectrum;
  }
  std::unique_ptr<Works> works = std::make_unique<Works>();
  SetupRecord setup{};
  TavoParamsRecord params{};
  std::mutex serMut;
  SpectrumRecord spectrum;
  float levels[1024]{};
};
