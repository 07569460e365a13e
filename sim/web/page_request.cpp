#include "sim/web/page_request.h"

#include <algorithm>
#include <cctype>

namespace {
bool Digits(const std::string &text, size_t most) {
  return !text.empty() && text.size() <= most &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return isdigit(c); });
}

bool NamesThisServer(const std::string &authority, int port) {
  std::string suffix = ":" + std::to_string(port);
  return authority == "127.0.0.1" + suffix || authority == "localhost" + suffix;
}

bool Refuse(const std::string &reason, std::string &why) {
  why = reason;
  return false;
}

// Subjects a page changes; "await" waits and is left to scenario files.
bool PageSubject(const ScenarioEvent &ev) {
  static const char *const SUBJECTS[] = {"radio", "antenna", "trx", "ft817", "amp"};
  for (const char *subject : SUBJECTS)
    if (ev.subject == subject) return ev.verb != "await";
  return false;
}
}  // namespace

bool AdmitRequester(const PageRequester &from, int port, std::string &why) {
  if (from.address != "127.0.0.1") return Refuse("only 127.0.0.1 may use this page", why);
  if (!NamesThisServer(from.host, port)) return Refuse("the host must be this server", why);
  const std::string scheme = "http://";
  bool sameOrigin = from.origin.compare(0, scheme.size(), scheme) == 0 &&
                    NamesThisServer(from.origin.substr(scheme.size()), port);
  if (!from.origin.empty() && !sameOrigin)
    return Refuse("requests from other sites are refused", why);
  return true;
}

bool ParseKeyMessage(const std::string &body, int &key, bool &down, std::string &why) {
  bool shaped = (body.size() == 6 && body.compare(1, 5, " down") == 0) ||
                (body.size() == 4 && body.compare(1, 3, " up") == 0);
  if (!shaped || body[0] < '1' || body[0] > '6')
    return Refuse("a key message is 'K down' or 'K up', K 1 to 6", why);
  key = body[0] - '0';
  down = body.size() == 6;
  return true;
}

bool ParsePageEvent(const std::string &body, ScenarioEvent &ev, std::string &why) {
  if (body.size() > PAGE_MAX_BODY) return Refuse("the event is too long", why);
  if (body.find_first_of("\n#") != std::string::npos)
    return Refuse("one event, without comments", why);
  if (!ParseEventLine(body, ev, why)) return false;
  if (!PageSubject(ev)) return Refuse("'" + body + "' is not an event of the page", why);
  return true;
}

bool ParseFrameNumber(const std::string &text, uint64_t &number) {
  number = 0;
  if (text.empty()) return true;
  if (!Digits(text, 19)) return false;
  number = std::stoull(text);
  return true;
}
