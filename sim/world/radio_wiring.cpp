#include "sim/world/radio_wiring.h"

#include <cstdlib>
#include <fstream>

#include "sim/world/world.h"

namespace {
const char DEFAULT_RADIO_PORT[] = "/dev/ttyUSB1";

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? "" : text.substr(start);
}

std::string AntennaTableFile(const std::string &root) {
  int bank = std::atoi(SandboxSetupValue(root, "NumBanco", "1").c_str());
  std::string name = bank >= 1 && bank <= 19 ? "antenna_b" + std::to_string(bank) : "antenna";
  return root + "/opt/set/" + name + ".txt";
}
}  // namespace

std::string SandboxSetupValue(const std::string &root, const std::string &key,
                              const std::string &fallback) {
  std::ifstream in(root + "/opt/set/setup.txt");
  std::string line, value = fallback;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) == 0) value = Trimmed(line.substr(key.size() + 1));
  }
  return value;
}

std::string SandboxDevicePath(const std::string &root, const std::string &key) {
  return root + SandboxSetupValue(root, key, DEFAULT_RADIO_PORT);
}

bool BankUsesFt817(const std::string &root) {
  std::ifstream in(AntennaTableFile(root));
  std::string line;
  bool ft817 = false;  // no interface line: the companion transceiver
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != '!') continue;
    ft817 = line.rfind("!817", 0) == 0;
  }
  return ft817;
}

bool RadioWired(const SimContext &context, Radio radio) {
  const char *name = radio == Radio::Ft817 ? "ft817" : "transceiver";
  if (!context.only.empty()) return context.only == name;
  if (SandboxDevicePath(context.root, "SerPort") !=
      SandboxDevicePath(context.root, "CatSerialPort"))
    return true;
  return BankUsesFt817(context.root) == (radio == Radio::Ft817);
}
