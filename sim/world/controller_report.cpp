#include "core/works.h"
#include "sim/world/json.h"
#include "sim/world/simulation.h"

void ReportController(Works *works, JsonWriter &json) {
  json.BeginObject();
  json.Field("version", works->core.version);
  json.Field("initDone", int(works->core.initDone));
  json.Field("currentFreq", unsigned(works->link.currentFreq));
  json.Field("modeWorkIdx", int(works->tuner.modeWorkIdx));
  json.EndObject();
}
