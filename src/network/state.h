#pragma once
// Network slice of the shared record: the connection text that the network
// check reports, drawn on the top line of the main screen.
#include <mutex>

constexpr int LAN_TEXT_SIZE = 32;

struct NetworkState {
  std::mutex infoMutex;  // guards lanInfo (written by LANInfoThread, read by the timer)
  char lanInfo[LAN_TEXT_SIZE] = "No Conn";
};
