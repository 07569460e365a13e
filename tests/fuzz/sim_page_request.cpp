// What kestra-sim's page server takes from a request: the first byte picks
// the part (requester, key message, event, frame number), the rest is its
// text. Nothing is applied; each check answers within its bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/web/page_keys.h"
#include "sim/web/page_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  std::string why;
  switch (data[0] % 5) {
    case 0: {
      size_t cut = text.find('\n');
      std::string host = text.substr(0, cut),
                  origin = cut == std::string::npos ? "" : text.substr(cut + 1);
      if (AdmitRequester({"127.0.0.1", host, origin}, 8800, why) && host != "127.0.0.1:8800" &&
          host != "localhost:8800")
        abort();
      break;
    }
    case 1: {
      int key = 0;
      bool down = false;
      if (ParseKeyMessage(text, key, down, why) && (key < 1 || key > 6)) abort();
      break;
    }
    case 2: {
      ScenarioEvent ev;
      if (ParsePageEvent(text, ev, why) && (ev.verb == "await" || text.size() > PAGE_MAX_BODY))
        abort();
      break;
    }
    case 3: {
      uint64_t number = 0;
      ParseFrameNumber(text, number);
      break;
    }
    default:
      if (ValidPageName(text) && text.size() > 32) abort();
  }
  return 0;
}
