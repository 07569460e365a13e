#include "settings/temp_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "core/clock.h"
#include "core/works.h"
#include "platform/paths.h"
#include "settings/safe_write.h"
#include "ui/supply_voltage.h"

namespace {
constexpr const char *LOG_HEADER = ";TX,Temp1,Temp2,FDD,SWR\n";
constexpr float CURRENT_FULL_SCALE_A = 14.05f;

std::string DateTimeText() {
  time_t now = WallSeconds();
  tm local{};
  localtime_r(&now, &local);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}
}  // namespace

std::string LogTempLine(Works *works, bool protection) {
  LinkState &l = works->link;
  char line[160];
  snprintf(line, sizeof line, "%s , %d,%04.01f,%04.01f,%02.01fW,%03.02f,%04.01fV,%04.01fA%s",
           DateTimeText().c_str(), (l.statusB & 1) ? 1 : 0, double(l.temp1), double(l.temp2),
           double(l.pwrFwd), double(l.swr), double(CalvTensVadcAmp(works)),
           double(l.currentRaw / 4096 * CURRENT_FULL_SCALE_A),
           protection ? " -> protezione attiva\n" : "\n");
  return line;
}

void LogTempFunction(Works *works, int what) {
  const std::string &path = GetPaths().logTempFile;
  if (what == LOG_TEMP_DELETE) {
    RunSettingsCommand("rm " + path);
    return;
  }
  std::string text = access(path.c_str(), R_OK) == 0 ? "" : LOG_HEADER;
  text += LogTempLine(works, what == LOG_TEMP_PROTECTION);
  AppendSettingsFile(path, text);
}
