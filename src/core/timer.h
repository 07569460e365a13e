#pragma once
// The periodic timer: every pass composes the screen, follows the working
// frequency, runs the tune handshake with the companion transceiver and
// counts down the hold-offs.

struct Works;

constexpr int SAVE_SCREEN_CHOICES = 5;
// Screensaver timeouts in minutes, chosen by SaveScreenIdx.
extern const int SaveScreen[SAVE_SCREEN_CHOICES];

// State of the thread kept between passes.
struct TimerContext {
  int hsCount = 0;  // passes counted by the tune handshake
  int hsMark = 0;
};

// One pass, including its pause (tests drive passes one by one).
void TimerPass(Works *works, TimerContext &ctx);

// Thread body: passes until the run flag drops.
void timer(Works *works);
