#include "core/works.h"
#include "sim/world/json.h"
#include "sim/world/simulation.h"
#include "transceiver/tavo_params.h"

void ReportController(Works *works, JsonWriter &json) {
  json.BeginObject();
  json.Field("version", works->core.version);
  json.Field("initDone", int(works->core.initDone));
  json.Field("currentFreq", unsigned(works->link.currentFreq));
  json.Field("modeWorkIdx", int(works->tuner.modeWorkIdx));
  TavoParamsRecord params{};
  getParameters(&params, works);
  json.Field("tavoFreq", int(params.word[tavo::freq]));
  json.Field("tavoTx", int(params.word[tavo::b9bit6]));
  json.Field("catFreq", int(works->trx.catFreq));
  json.EndObject();
}
