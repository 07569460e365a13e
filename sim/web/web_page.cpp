#include "sim/web/web_page.h"

#include <fstream>
#include <sstream>

#include "core/clock.h"
#include "sim/amplifier/amp_device.h"
#include "sim/ft817/ft817.h"
#include "sim/panel/panel_device.h"
#include "sim/transceiver/transceiver.h"
#include "sim/world/json.h"
#include "sim/world/simulation.h"

namespace {
constexpr double WATCH_SECONDS = 0.25;

PageReply Reply(int status, const std::string &body, const std::string &type = "text/plain") {
  PageReply reply;
  reply.status = status;
  reply.body = body;
  reply.type = type;
  return reply;
}

template <typename Device>
Device *Find(Simulation &sim, const char *name) {
  return dynamic_cast<Device *>(sim.Device(name));
}
}  // namespace

std::string DefaultPageDir() { return KESTRA_PAGE_DIR; }

WebPage::WebPage(Simulation &sim, World *world, const std::string &pageDir)
    : sim_(sim), pageDir_(pageDir) {
  sources_.amp = Find<AmpDevice>(sim, "amplifier");
  sources_.trx = Find<TransceiverSim>(sim, "transceiver");
  sources_.ft817 = Find<Ft817Sim>(sim, "ft817");
  sources_.panel = Find<PanelDevice>(sim, "panel");
  sources_.world = world;
}

WebPage::~WebPage() { Stop(); }

double WebPage::Now() const { return MonotonicMicros() / 1e6; }

void WebPage::Start(int port) {
  port_ = port;
  stream_.Start();
  watch_.Start();
  watch_.Every(WATCH_SECONDS, [this] { ReleaseQuietKeys(); });
}

void WebPage::Stop() {
  watch_.Stop();
  stream_.Stop();
}

void WebPage::Attach(Works *works) {
  stream_.Attach(works);
  std::lock_guard<std::mutex> lock(worksMutex_);
  works_ = works;
}

void WebPage::ReleaseQuietKeys() {
  for (const std::string &line : keys_.Expire(Now())) {
    ScenarioEvent ev;
    std::string error;
    if (ParseEventLine(line, ev, error)) sim_.ApplyEvent(ev, error);
  }
}

bool WebPage::Admit(const PageRequester &from, PageReply &refusal) const {
  std::string why;
  if (AdmitRequester(from, port_, why)) return true;
  refusal = Reply(403, why);
  return false;
}

PageReply WebPage::File(const std::string &path) const {
  static const struct {
    const char *path, *file, *type;
  } FILES[] = {{"/", "index.html", "text/html; charset=utf-8"},
               {"/page.css", "page.css", "text/css"},
               {"/page.js", "page.js", "text/javascript"}};
  for (const auto &f : FILES) {
    if (path != f.path) continue;
    std::ifstream in(pageDir_ + "/" + f.file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) return Reply(500, std::string("cannot read the page's ") + f.file);
    return Reply(200, text.str(), f.type);
  }
  return Reply(404, "no such page");
}

bool WebPage::Seen(const std::string &page, PageReply &refusal) {
  if (!ValidPageName(page)) {
    refusal = Reply(400, "the X-Kestra-Page header names the page: 1 to 32 letters and digits");
    return false;
  }
  keys_.Seen(page, Now());
  return true;
}

PageReply WebPage::Frame(const std::string &page, const std::string &after) {
  PageReply reply;
  uint64_t have = 0;
  if (!Seen(page, reply)) return reply;
  if (!ParseFrameNumber(after, have))
    return Reply(400, "after: the number of the frame the page has");
  ScreenFrame frame;
  if (!stream_.NextFrame(have, PAGE_FRAME_WAIT_SECONDS, frame)) return Reply(204, "");
  reply.type = "image/jpeg";
  reply.image = frame.jpeg;
  reply.frame = frame.number;
  return reply;
}

PageReply WebPage::State(const std::string &page) {
  PageReply reply;
  if (!Seen(page, reply)) return reply;
  ScreenFrame frame = stream_.Latest();
  JsonWriter json;
  json.BeginObject().Field("frame", static_cast<long long>(frame.number));
  json.Key("keys");
  WriteKeyCaptions(json, frame.texts);
  json.Key("texts").BeginArray();
  for (const ScreenText &t : frame.texts) json.String(t.text);
  json.EndArray();
  json.Field("held", keys_.Held());
  if (sources_.panel) json.Field("levels", sources_.panel->KeyLevels());
  {
    std::lock_guard<std::mutex> lock(worksMutex_);
    json.Field("running", works_ != nullptr);
    if (works_) WriteReadouts(json.Key("readouts"), works_);
  }
  if (sources_.amp) WriteLinkCommands(json.Key("commands"), *sources_.amp);
  WriteWorld(json.Key("world"), sources_);
  StreamCounters c = stream_.Counters();
  json.Key("stream").BeginObject().Field("encoded", static_cast<long long>(c.encoded));
  json.Field("encodeMs", c.encoded ? c.encodeMicros / 1e3 / double(c.encoded) : 0.0);
  json.Field("bytes", static_cast<long long>(c.lastBytes)).EndObject();
  json.EndObject();
  return Reply(200, json.Text(), "application/json");
}

PageReply WebPage::Key(const std::string &page, const std::string &body) {
  PageReply reply;
  if (!Seen(page, reply)) return reply;
  int key = 0;
  bool down = false;
  std::string why;
  if (!ParseKeyMessage(body, key, down, why)) return Reply(400, why);
  std::string line = keys_.Press(page, key, down, Now());
  if (line.empty()) return Reply(200, "held by another page");
  ScenarioEvent ev;
  if (!ParseEventLine(line, ev, why)) return Reply(500, why);
  return Apply(ev);
}

PageReply WebPage::Event(const std::string &page, const std::string &body) {
  PageReply reply;
  if (!Seen(page, reply)) return reply;
  ScenarioEvent ev;
  std::string why;
  if (!ParsePageEvent(body, ev, why)) return Reply(400, why);
  return Apply(ev);
}

PageReply WebPage::Apply(const ScenarioEvent &ev) {
  std::string error;
  if (!sim_.ApplyEvent(ev, error)) return Reply(400, error);
  return Reply(200, "applied");
}
