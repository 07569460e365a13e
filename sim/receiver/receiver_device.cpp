#include "sim/receiver/receiver_device.h"

#include "sim/world/json.h"
#include "transceiver/remote_check.h"
#include "transceiver/usb_stream.h"

namespace {
const char *VERBS =
    "receiver verbs are tone HZ DBFS, noise DBFS, silence, unplug, plug, stall N, "
    "model tavo|m1|m2";

bool Model(const std::string &name, uint16_t &product) {
  if (name == "tavo")
    product = RECEIVER_USB_PRODUCT;
  else if (name == "m1")
    product = RECEIVER_M1_PRODUCT;
  else if (name == "m2")
    product = RECEIVER_M2_PRODUCT;
  else
    return false;
  return true;
}
}  // namespace

bool ReceiverDevice::Start(std::string &) {
  bus_->Install();
  return true;
}

bool ReceiverDevice::Apply(const ScenarioEvent &ev, std::string &error) {
  ReceiverModel &rx = bus_->Receiver();
  double hz = 0, dbfs = 0;
  long count = 0;
  uint16_t product = 0;
  if (ev.verb == "tone" && ArgDouble(ev, 0, hz, error) && ArgDouble(ev, 1, dbfs, error)) {
    rx.SetTone(hz, dbfs);
  } else if (ev.verb == "noise" && ArgDouble(ev, 0, dbfs, error)) {
    rx.SetNoise(dbfs);
  } else if (ev.verb == "silence") {
    rx.Silence();
  } else if (ev.verb == "unplug" || ev.verb == "plug") {
    bus_->SetPlugged(UsbSlot::Receiver, ev.verb == "plug");
  } else if (ev.verb == "stall" && ArgInt(ev, 0, count, error)) {
    bus_->Stall(int(count));
  } else if (ev.verb == "model" && !ev.args.empty() && Model(ev.args[0], product)) {
    bus_->SetReceiverProduct(product);
  } else {
    if (error.empty()) error = "'" + ev.text + "': " + VERBS;
    return false;
  }
  return true;
}

void ReceiverDevice::Report(JsonWriter &json) {
  SimUsbCounters c = bus_->Counters();
  json.BeginObject();
  json.Field("plugged", bus_->Plugged(UsbSlot::Receiver));
  json.Field("streaming", bus_->Receiver().Streaming());
  json.Field("transfers", c.completed).Field("lost", c.lost);
  json.Field("failed", c.failed);
  json.Key("tones").BeginArray();
  for (const ReceiverTone &t : bus_->Receiver().Tones())
    json.BeginObject().Field("hz", t.offsetHz).Field("dbfs", t.dbfs).EndObject();
  json.EndArray().EndObject();
}
