#include "sim/world/factory_files.h"

#include "platform/paths.h"
#include "sim/world/sandbox.h"
#include "tuner/bank_files.h"

namespace {
constexpr int FACTORY_BANK = 1;
constexpr int INTERFACE_TAVO = 1;
}  // namespace

bool SeedFactoryAntennaTable(const std::string &root) {
  AntennaRow rows[ANTENNA_ROWS]{};
  InitAntennaRows(rows, 0);
  for (AntennaRow &r : rows) {
    r.AmpEnable = 1;
    r.Atu = 0;
  }
  // The target's path, taken as relative to the sandbox root.
  std::string path = AntennaTableFile(Paths{}.setDir, FACTORY_BANK).substr(1);
  return SeedFile(root, path, FormatAntennaTable(rows, ANTENNA_ROWS, INTERFACE_TAVO));
}

const char *const FACTORY_INTERFACES_STATIC =
    "# interfaces(5) file used by ifup(8) and ifdown(8)\n"
    "# Include files from /etc/network/interfaces.d:\n"
    "source-directory /etc/network/interfaces.d\n"
    "\n"
    "auto lo\n"
    "iface lo inet loopback\n"
    "\n"
    "auto eth0\n"
    "iface eth0 inet static\n"
    "address 192.168.1.10\n"
    "netmask 255.255.255.0\n"
    "gateway 192.168.1.1\n"
    "nameserver 192.168.1.1\n";

const char *const FACTORY_INTERFACES_DHCP =
    "# interfaces(5) file used by ifup(8) and ifdown(8)\n"
    "auto lo\n"
    "iface lo inet loopback\n"
    "\n"
    "auto eth0\n"
    "allow-hotplug eth0\n"
    "iface eth0 inet dhcp\n";

bool SeedNetworkInterfaces(const std::string &root) {
  std::string path = Paths{}.networkInterfaces.substr(1);
  return SeedFile(root, path, FACTORY_INTERFACES_STATIC);
}
