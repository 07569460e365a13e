#pragma once
// The unit's page, apart from HTTP itself: every request of the page's
// server becomes one call here, and its reply. The page's files are served
// from the source tree; its frames come from the screen stream; its keys and
// world controls are scenario events applied through the simulation, as the
// scenario files and the control FIFO apply theirs.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/web/page_keys.h"
#include "sim/web/page_request.h"
#include "sim/web/page_state.h"
#include "sim/web/screen_stream.h"

class Simulation;

struct PageReply {
  int status = 200;
  std::string type = "text/plain";
  std::string body;
  std::shared_ptr<const std::vector<uint8_t>> image;  // a frame, sent instead of the body
  uint64_t frame = 0;                                 // its number
};

constexpr double PAGE_FRAME_WAIT_SECONDS = 1;  // a frame request waits this long for a change

// The page's files in the source tree.
std::string DefaultPageDir();

class WebPage {
 public:
  // `pageDir` holds index.html, page.css and page.js.
  WebPage(Simulation &sim, World *world, const std::string &pageDir);
  ~WebPage();
  WebPage(const WebPage &) = delete;
  WebPage &operator=(const WebPage &) = delete;

  // The port the server listens on, for the host check.
  void Start(int port);
  void Stop();
  // The running unit's record; null before it goes away.
  void Attach(Works *works);

  // Refused requests get 403 and the reason.
  bool Admit(const PageRequester &from, PageReply &refusal) const;
  PageReply File(const std::string &path) const;
  // The next frame after number `after`, or 204 when the screen did not change.
  PageReply Frame(const std::string &page, const std::string &after);
  PageReply State(const std::string &page);
  PageReply Key(const std::string &page, const std::string &body);
  PageReply Event(const std::string &page, const std::string &body);

  StreamCounters Counters() const { return stream_.Counters(); }

 private:
  bool Seen(const std::string &page, PageReply &refusal);
  PageReply Apply(const ScenarioEvent &ev);
  void ReleaseQuietKeys();  // every WATCH_SECONDS
  double Now() const;

  Simulation &sim_;
  PageSources sources_;
  std::string pageDir_;
  std::atomic<int> port_{0};
  ScreenStream stream_;
  PageKeys keys_;

  std::mutex worksMutex_;  // held while the record is read
  Works *works_ = nullptr;

  TimedActions watch_;  // lets go of the keys of quiet pages
};
