#pragma once
// What the page's server takes from outside, checked before anything acts
// on it: who asks, the key messages, the events a page may apply, the frame
// number a page already has.
#include <cstdint>
#include <string>

#include "sim/world/scenario.h"

constexpr size_t PAGE_MAX_BODY = 256;  // the longest key or event message

// The parts of a request that say who sent it.
struct PageRequester {
  std::string address;  // the peer's address
  std::string host;     // the Host header
  std::string origin;   // the Origin header, empty when none came
};

// Only this machine's own 127.0.0.1 may ask, naming this server as its host
// (no other name a foreign site could resolve here), and a request sent by a
// script of another site is refused.
bool AdmitRequester(const PageRequester &from, int port, std::string &why);

// "K down" or "K up", K 1..6.
bool ParseKeyMessage(const std::string &body, int &key, bool &down, std::string &why);

// An event line a page may apply: the world, the radios and the amplifier's
// faults; never one that writes files, stops the run, or waits.
bool ParsePageEvent(const std::string &body, ScenarioEvent &ev, std::string &why);

// The frame number a page has ("after" of a frame request); 0 for none.
bool ParseFrameNumber(const std::string &text, uint64_t &number);
