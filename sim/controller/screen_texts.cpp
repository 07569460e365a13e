#include "sim/controller/screen_texts.h"

#include <atomic>
#include <mutex>

#include "display/screen_observer.h"
#include "sim/world/json.h"

namespace {
std::mutex textsMutex;
std::vector<ScreenText> pending, shown;
std::atomic<uint64_t> shownCount{0};

void TextDrawn(int slotNumber, int x, int y, const char *text, uint8_t red, uint8_t green,
               uint8_t blue) {
  std::lock_guard<std::mutex> lock(textsMutex);
  pending.push_back({slotNumber, x, y, red, green, blue, text});
}

void ScreenStarted() {
  std::lock_guard<std::mutex> lock(textsMutex);
  pending.clear();
}

void ScreenShown() {
  std::lock_guard<std::mutex> lock(textsMutex);
  shown = pending;
  shownCount++;
}
}  // namespace

void RecordScreenTexts() { screenObserver = {TextDrawn, ScreenStarted, ScreenShown}; }

void StopRecordingScreenTexts() {
  screenObserver = {};
  std::lock_guard<std::mutex> lock(textsMutex);
  pending.clear();
  shown.clear();
}

uint64_t ShownScreenCount() { return shownCount; }

std::vector<ScreenText> ShownScreenTexts() {
  std::lock_guard<std::mutex> lock(textsMutex);
  return shown;
}

void WriteScreenTexts(JsonWriter &json, const std::vector<ScreenText> &texts) {
  json.BeginArray();
  for (const ScreenText &t : texts) {
    json.BeginObject().Field("slot", t.slot).Field("x", t.x).Field("y", t.y);
    json.Key("colour").BeginArray().Int(t.red).Int(t.green).Int(t.blue).EndArray();
    json.Field("text", t.text).EndObject();
  }
  json.EndArray();
}
