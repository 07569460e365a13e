// kestra-layout-check ROOT: an installed root as the program sees it. Prints
// its version, the directories it reads its pictures from and keeps its
// settings in, and every font file it loads at start-up ("font FILE", or
// "missing FILE" for one that does not load, which makes the exit status 1).
#include <cstdio>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/works.h"
#include "display/text.h"
#include "platform/paths.h"

namespace {
const std::string LOADING = "Loading face: filename=";

// The loader logs each file it opens, then "Face loaded" or why not.
void PrintFonts(const std::vector<LogCapture::SysLine> &lines, int &missing) {
  for (size_t i = 0; i < lines.size(); i++) {
    if (lines[i].text.rfind(LOADING, 0) != 0) continue;
    std::string file = lines[i].text.substr(LOADING.size());
    bool loaded = i + 1 < lines.size() && lines[i + 1].text == "Face loaded";
    printf("%s %s\n", loaded ? "font" : "missing", file.c_str());
    if (!loaded) missing++;
  }
}
}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: kestra-layout-check ROOT\n");
    return 2;
  }
  SetPaths(PathsUnder(argv[1]));
  const Paths &paths = GetPaths();
  printf("version %s\npictures %s\nsettings %s\n", KESTRA_VERSION, paths.picturesDir.c_str(),
         paths.setDir.c_str());
  int missing = 0;
  {
    LogCapture log;
    LoadFontSlots();
    PrintFonts(log.Sys(), missing);
  }
  return missing == 0 ? 0 : 1;
}
