#pragma once
// What the page shows beside the screen, as the JSON of its state request:
// the six keys' captions read from the screen's own texts, the unit's
// readouts, the last commands on the amplifier link and the simulated world
// as it is set now.
#include <array>
#include <string>
#include <vector>

#include "sim/controller/screen_texts.h"

class AmpDevice;
class Ft817Sim;
class JsonWriter;
class PanelDevice;
class TransceiverSim;
class World;
struct Works;

constexpr int CAPTION_TOP = 420;        // the button bar: rows 420 to 479
constexpr int CAPTION_KEY_WIDTH = 133;  // key k's face starts at 133 × (k − 1)
constexpr size_t PAGE_RECENT_COMMANDS = 8;

// The caption lines of each key: the texts drawn on the button bar, by the
// face they start on, top line first, without the blanks that centre them.
std::array<std::vector<std::string>, 6> KeyCaptions(const std::vector<ScreenText> &texts);

// The simulated devices and world the page reads; any may be missing.
struct PageSources {
  AmpDevice *amp = nullptr;
  TransceiverSim *trx = nullptr;
  Ft817Sim *ft817 = nullptr;
  PanelDevice *panel = nullptr;
  World *world = nullptr;
};

void WriteKeyCaptions(JsonWriter &json, const std::vector<ScreenText> &texts);
// Power, SWR, temperatures, fan, tuner, tune state, errors, window: as the unit sees them.
void WriteReadouts(JsonWriter &json, Works *works);
// The amplifier's last received commands (the idle polls left out).
void WriteLinkCommands(JsonWriter &json, const AmpDevice &amp);
// The radios, the exciter and the antenna loads as set now, for the page's controls.
void WriteWorld(JsonWriter &json, const PageSources &sources);
