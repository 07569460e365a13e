#pragma once
// Which simulated radio is wired to the unit's serial ports.
//
// The companion transceiver's extended-IO port (SerPort) and the FT-817's
// CAT port (CatSerialPort) are both /dev/ttyUSB1 by default. Only one of the
// two links runs for a given interface type, so when both name the same
// device the sandbox connects the radio of the current bank's interface
// type: the FT-817 when the bank's antenna table says "!817", otherwise the
// companion transceiver. A device run alone (--only) is always connected.
#include <string>

struct SimContext;

// A value of <root>/opt/set/setup.txt ("Key: value"), or `fallback`.
std::string SandboxSetupValue(const std::string &root, const std::string &key,
                              const std::string &fallback);

// The unit's device path named by a setting, inside the sandbox.
std::string SandboxDevicePath(const std::string &root, const std::string &key);

// True when the current bank's antenna table chooses the FT-817.
bool BankUsesFt817(const std::string &root);

enum class Radio { Transceiver, Ft817 };

// True when `radio` is connected to its port in this run.
bool RadioWired(const SimContext &context, Radio radio);
