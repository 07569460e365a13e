#pragma once
// The front-panel keys as the open pages hold them. A page that goes quiet
// (its browser closed, its machine asleep) lets go of its keys: a key left
// down would otherwise repeat in the unit for ever.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

constexpr int PAGE_KEYS = 6;
constexpr double PAGE_QUIET_SECONDS = 5;  // a page polls several times a second
constexpr size_t PAGE_MAX_PAGES = 64;

// A page's name as it sends it: 1 to 32 letters and digits.
bool ValidPageName(const std::string &page);

class PageKeys {
 public:
  // Key 1..6 down or up on `page` at `now` (seconds): the event line for the
  // panel ("panel down 3"), or empty when another page still holds the key
  // that this one lets go.
  std::string Press(const std::string &page, int key, bool down, double now);
  // Any request of the page.
  void Seen(const std::string &page, double now);
  // The event lines releasing the keys of the pages quiet for longer than
  // PAGE_QUIET_SECONDS, or pushed out by newer pages; those are forgotten.
  std::vector<std::string> Expire(double now);
  // Keys 1..6 held by any page, '1' for held.
  std::string Held() const;

 private:
  struct Page {
    double seen = 0;
    uint8_t held = 0;  // bit k-1: key k
  };
  using Pages = std::map<std::string, Page>;
  Pages::iterator Find(const std::string &page, double now);  // under mutex_
  void Forget(Pages::iterator page);                          // under mutex_
  uint8_t HeldByOthers(Pages::const_iterator page) const;     // under mutex_

  mutable std::mutex mutex_;
  Pages pages_;
  std::vector<std::string> releases_;  // waiting for Expire
};
