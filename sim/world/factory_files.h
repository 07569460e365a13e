#pragma once
// Settings files a unit leaves the factory with, seeded into an empty sandbox.
#include <string>

// The antenna table of bank 1: every band with the amplifier in line and the
// tuner in use (the built-in defaults bypass both). Kept when the root has one.
bool SeedFactoryAntennaTable(const std::string &root);

// The system's network configuration as a unit leaves the factory: a static
// address (seeded), or one taken by DHCP.
extern const char *const FACTORY_INTERFACES_STATIC;
extern const char *const FACTORY_INTERFACES_DHCP;
// Seeds the static one unless the root has the file already.
bool SeedNetworkInterfaces(const std::string &root);
