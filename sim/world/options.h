#pragma once
#include <string>

struct SimOptions {
  std::string root;  // empty: a new directory under /tmp
  bool headless = false;
  double duration = -1;  // seconds; < 0 runs until interrupted
  std::string scenario;
  std::string report;
  std::string only;         // run one simulated device alone
  bool noPacing = false;    // bytes as fast as the pty takes them
  std::string snapshot;     // PNG of the screen at the end of the run
  bool quickStart = false;  // start-up and closing pauses a tenth as long
  std::string control;      // a FIFO of events applied as they arrive ("trx freq 7100000")
  // The unit's page on 127.0.0.1: this port (0 any free one); -1 unless asked,
  // where an interactive run serves it on PAGE_DEFAULT_PORT or any free one.
  int httpPort = -1;
};

constexpr int PAGE_DEFAULT_PORT = 8800;

// True when this run serves the page.
bool ServesPage(const SimOptions &options);

// Parses the command line; false with a message for bad usage.
bool ParseSimOptions(int argc, char **argv, SimOptions &options, std::string &error);
extern const char *SIM_USAGE;
