#include "sim/web/page_keys.h"

#include <algorithm>
#include <cctype>

namespace {
std::string KeyLine(int key, bool down) {
  return std::string("panel ") + (down ? "down " : "up ") + std::to_string(key);
}
}  // namespace

bool ValidPageName(const std::string &page) {
  return !page.empty() && page.size() <= 32 &&
         std::all_of(page.begin(), page.end(), [](unsigned char c) { return isalnum(c); });
}

PageKeys::Pages::iterator PageKeys::Find(const std::string &page, double now) {
  auto it = pages_.find(page);
  if (it == pages_.end()) {
    if (pages_.size() >= PAGE_MAX_PAGES) {
      auto quietest = std::min_element(
          pages_.begin(), pages_.end(),
          [](const auto &a, const auto &b) { return a.second.seen < b.second.seen; });
      Forget(quietest);
    }
    it = pages_.emplace(page, Page{}).first;
  }
  it->second.seen = std::max(it->second.seen, now);
  return it;
}

uint8_t PageKeys::HeldByOthers(Pages::const_iterator page) const {
  uint8_t held = 0;
  for (auto it = pages_.begin(); it != pages_.end(); ++it)
    if (it != page) held |= it->second.held;
  return held;
}

void PageKeys::Forget(Pages::iterator page) {
  uint8_t release = page->second.held & uint8_t(~HeldByOthers(page));
  for (int key = 1; key <= PAGE_KEYS; key++)
    if (release & (1 << (key - 1))) releases_.push_back(KeyLine(key, false));
  pages_.erase(page);
}

std::string PageKeys::Press(const std::string &page, int key, bool down, double now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = Find(page, now);
  uint8_t bit = uint8_t(1 << (key - 1));
  if (down) {
    it->second.held |= bit;
  } else {
    it->second.held &= uint8_t(~bit);
    if (HeldByOthers(it) & bit) return "";
  }
  return KeyLine(key, down);
}

void PageKeys::Seen(const std::string &page, double now) {
  std::lock_guard<std::mutex> lock(mutex_);
  Find(page, now);
}

std::vector<std::string> PageKeys::Expire(double now) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = pages_.begin(); it != pages_.end();) {
    auto next = std::next(it);
    if (now - it->second.seen > PAGE_QUIET_SECONDS) Forget(it);
    it = next;
  }
  std::vector<std::string> releases;
  releases.swap(releases_);
  return releases;
}

std::string PageKeys::Held() const {
  std::lock_guard<std::mutex> lock(mutex_);
  uint8_t held = HeldByOthers(pages_.end());
  std::string keys;
  for (int key = 1; key <= PAGE_KEYS; key++) keys += held & (1 << (key - 1)) ? '1' : '0';
  return keys;
}
