#pragma once
// Every fixed path of the target in one value. The product uses the target's
// paths as they stand; the simulator and the tests put a sandbox root in front
// of all of them, so the sandbox is a small root file system.
#include <string>

struct Paths {
  std::string root;  // "" on the target

  // The settings partition and its files.
  std::string setDir = "/opt/set";
  std::string setupFile = "/opt/set/setup.txt";
  std::string configFile = "/opt/set/config.txt";
  std::string ventolaFile = "/opt/set/ventola.txt";
  std::string filterFile = "/opt/set/filter.txt";
  std::string logTempFile = "/opt/set/LOGtemp.txt";
  // The unit's own remote password (optional).
  std::string remotePasswordFile = "/opt/set/remote_password.txt";
  // Marker of the software-update procedure, removed after 30 s of running.
  std::string updateMarker = "/opt/good";

  // Fonts, pictures and the product's own programs.
  std::string fontsDir = "/opt/fonts";
  std::string systemFontsDir = "/usr/share/fonts/truetype/dejavu";
  std::string picturesDir = "/opt/Kestra";
  std::string sshShell = "/opt/sshshell";
  std::string getPack = "/opt/Kestra/getpack.sh";
  std::string screenshotFile = "/tmp/screen.png";

  // Devices and device globs.
  std::string frameBuffer = "/dev/fb0";
  std::string console = "/dev/tty0";
  std::string physMem = "/dev/mem";
  // Names the processor; the GPIO block is mapped only on the board it fits.
  std::string boardCompatible = "/proc/device-tree/compatible";
  std::string keyboardGlob = "/dev/input/by-id/*-event-kbd";
  std::string catPortGlob = "/dev/VORNCAT*";
  std::string urandom = "/dev/urandom";
  // The kernel's list of attached USB devices (idVendor, idProduct in each).
  std::string usbDevicesDir = "/sys/bus/usb/devices";

  // System configuration.
  std::string networkInterfaces = "/etc/network/interfaces";

  // A device path named by a setting ("LinPort: /dev/ttyAMA0") resolved under
  // the same root as the fixed paths.
  std::string Device(const std::string &settingPath) const { return root + settingPath; }
};

// The target's paths, or all of them under `root` when it is not empty.
Paths PathsUnder(const std::string &root);

// The process-wide paths; set once before any thread starts.
const Paths &GetPaths();
void SetPaths(const Paths &paths);
