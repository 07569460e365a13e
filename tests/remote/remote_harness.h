#pragma once
// A shared record joined to a test-side peer: senders write into one end of
// a socket pair, the peer reads the other end with its own frame reader.
// Serial ports of the unit are socket pairs as well.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "core/works.h"
#include "tests/support/sandbox.h"
#include "tests/support/ws_peer.h"

// One end stays with the unit, the other with the test.
struct SocketPair {
  SocketPair() {
    int fds[2] = {-1, -1};
    socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
    unit = fds[0];
    test = fds[1];
  }
  ~SocketPair() {
    if (unit >= 0) close(unit);
    if (test >= 0) close(test);
  }
  // What the unit wrote within `seconds` (until it pauses for 100 ms).
  std::string Received(double seconds = 2) const {
    std::string got;
    int waitMs = static_cast<int>(seconds * 1000);
    for (;;) {
      pollfd p{test, POLLIN, 0};
      if (poll(&p, 1, got.empty() ? waitMs : 100) <= 0) return got;
      char buf[512];
      ssize_t n = read(test, buf, sizeof buf);
      if (n <= 0) return got;
      got.append(buf, n);
    }
  }
  int unit, test;
};

// A record whose connection to the peer is a socket pair.
struct LinkedWorks {
  LinkedWorks() {
    works->remote.wsSocket = link.unit;
    works->remote.wsConnected = 1;
    peer.Adopt(dup(link.test));
  }
  TestWorks works;
  SocketPair link;
  WsPeer peer;
};
