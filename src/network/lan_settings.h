#pragma once
// The wired network address in the system's interfaces file: read at
// start-up into texts and octets, edited octet by octet from the menu, and
// written back on a save, which restarts the interfaces.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "network/state.h"

struct Works;

// The values as read from the file; written at start-up only.
extern char IP[LAN_TEXT_SIZE], NetMask[LAN_TEXT_SIZE], Gateway[LAN_TEXT_SIZE], DNS[LAN_TEXT_SIZE],
    MAC[LAN_TEXT_SIZE];
// The four octets of each address, edited by the menu while the timer draws them.
using Octets = std::atomic<uint8_t>[4];
extern Octets IP_v, NetMask_v, Gateway_v, DNS_v;
extern uint8_t MAC_v[6];
// 1 when the file holds no gateway / name server value.
extern std::atomic<uint8_t> Gateway_none, DNS_none;

// The supported size of the file; a longer one is never rewritten.
constexpr int LAN_FILE_LINES = 50, LAN_LINE_LENGTH = 127;

// Reads the file into the texts and octets: 0, or −1 when it cannot be opened.
int ReadLanParam();
// Rewrites the file from the octets and restarts the interfaces: the
// restart's status (0 done), or −1 when the file was left untouched.
int SaveLanParam(Works *works);

// A dotted address into at most four octets (the others are left as they are).
void SplitAddr(const char *text, Octets &bytes);
// Four octets as "%i.%i.%i.%i" into `text` (`size` bytes).
void SplitAddrInv(char *text, size_t size, const Octets &bytes);
// Editor step on `bytes` at cursor `pos` (0..3): 1 octet − 1, 2 octet + 1
// (wrapping 0 <-> 255), 3 cursor left, 4 cursor right (wrapping 0 <-> 3).
// Returns the new cursor.
int ModifyIP(int op, int pos, Octets &bytes);

// The values of the four keywords found in `text` (an interfaces file).
struct LanTexts {
  std::string address, netmask, gateway, nameserver;
};
LanTexts ParseInterfaces(const std::string &text);
// The new file: every line starting with a keyword in its first column
// replaced from the octets, the others as they were. False (and `out`
// untouched) for a file outside the supported size.
bool RewriteInterfaces(const std::string &text, std::string &out);
