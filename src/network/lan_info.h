#pragma once
// The network check: the outside command my_vorn prints the newest software
// version on the web and the connection state; from them the connection
// text of the top line and whether an update is available.
#include <cstddef>
#include <string>

struct Works;

// Runs my_vorn and sets lanInfo and the software-update flag. Without the
// command (or without output) the text stays "No Conn" and no update is
// available.
void ReadLANconnection(Works *works);

// Decides from my_vorn's output (lines of at most 31 characters): the
// connection text and whether `webVersion` is newer than `ownVersion`.
struct LanReport {
  std::string webVersion, connection;
  bool updateAvailable = false;
};
LanReport ParseLanReport(const std::string &output, const char *ownVersion);

// The connection text for the top line into `text` (`size` bytes).
void NetworkText(Works *works, char *text, size_t size);
