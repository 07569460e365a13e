#include "platform/paths.h"

namespace {
Paths current;
}

Paths PathsUnder(const std::string &root) {
  Paths p;
  if (root.empty()) return p;
  p.root = root;
  for (std::string *field :
       {&p.setDir,         &p.setupFile,    &p.configFile,  &p.ventolaFile,       &p.filterFile,
        &p.logTempFile,    &p.updateMarker, &p.fontsDir,    &p.systemFontsDir,    &p.picturesDir,
        &p.sshShell,       &p.getPack,      &p.frameBuffer, &p.console,           &p.physMem,
        &p.keyboardGlob,   &p.catPortGlob,  &p.urandom,     &p.networkInterfaces, &p.screenshotFile,
        &p.boardCompatible}) {
    *field = root + *field;
  }
  p.remotePasswordFile = root + p.remotePasswordFile;
  p.usbDevicesDir = root + p.usbDevicesDir;
  return p;
}

const Paths &GetPaths() { return current; }

void SetPaths(const Paths &paths) { current = paths; }
