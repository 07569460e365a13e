#pragma once
// Test stand-in for the amplifier link around the tuner: it drains the
// command queue as the link does (recording the tuner words it would send,
// with the word changes of commands 27, 39 and 40) and feeds each auto-tune
// step the SWR and forward power that a load gives for the word the previous
// step set.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "amplifier/cmd_queue.h"
#include "amplifier/commands.h"
#include "amplifier/tune_lock.h"
#include "core/threads.h"
#include "core/works.h"
#include "tuner/auto_tune.h"
#include "tuner/tune_memory.h"
#include "tuner/tune_word.h"

struct Reading {
  float swr;
  float fwd;
  uint8_t statusB = 0;  // bit 1: the amplifier's high-SWR protection tripped
};
using LoadModel = std::function<Reading(uint32_t word)>;

class LinkStandIn {
 public:
  explicit LinkStandIn(Works *works) : works_(works) {}

  // Takes every queued command; returns their numbers in order.
  std::vector<int32_t> Drain() {
    std::vector<int32_t> taken;
    for (int32_t cmd; TakeCmdLinear(works_, cmd);) {
      taken.push_back(cmd);
      if (cmd == CMD_MT_SET || cmd == CMD_MT_LOAD || cmd == CMD_MT_BYPASS || cmd == CMD_MT_CLEAR) {
        WaitSemaforoTuneval(works_);
        ChangeWord(cmd);
        SendWord();
        StopSemaforoTuneval(works_);
      }
    }
    works_->link.cmdPriority = 0;
    return taken;
  }

  // One status reply and the step it drives; false once the tune has ended.
  // A step that saw the high-SWR protection is followed, as on the link, by
  // one more status reply that only clears the protections ("CPFFFF;").
  bool Step(const LoadModel &load) {
    Reading r = load(works_->tuner.tuneVal);
    works_->link.swr = r.swr;
    works_->link.pwrFwd = r.fwd;
    works_->link.statusB = r.statusB;
    states_.push_back(works_->tuner.statoTune);
    TuneTask(works_);
    SendWord();
    steps_++;
    if (works_->tuner.tuneStatus == 2) {
      if (clearProtections) clearProtections();
      works_->tuner.tuneStatus = 1;
      clears_++;
    }
    return works_->tuner.tuneStatus != 0;
  }

  // What "CPFFFF;" does to the amplifier.
  std::function<void()> clearProtections;

  // Drains the start commands, then steps until the tune ends (or `limit`).
  int RunTune(const LoadModel &load, int limit = 2000) {
    Drain();
    while (steps_ < limit && Step(load)) {
    }
    return steps_;
  }

  const std::vector<std::string> &Sent() const { return sent_; }
  int Steps() const { return steps_; }
  int Clears() const { return clears_; }
  // The search state each step started in.
  const std::vector<int> &States() const { return states_; }

 private:
  void ChangeWord(int32_t cmd) {
    TunerState &t = works_->tuner;
    if (cmd == CMD_MT_LOAD) {
      LoadTuneFromMEM(works_, t.antennaIdx);
      works_->link.atuBypass = 0;
    } else if (cmd == CMD_MT_BYPASS) {
      works_->link.atuBypass = 1;
      t.tuneVal = (t.tuneVal | TUNE_BIT_BYPASS) & ~(TUNE_BIT_A | TUNE_BIT_B);
    } else if (cmd == CMD_MT_CLEAR) {
      works_->link.atuBypass = 0;
      t.tuneVal = TUNE_BIT_B;
      t.valL = t.valC = 0;
    }
  }

  void SendWord() {
    char text[16];
    snprintf(text, sizeof text, "MT1%08X;", unsigned(works_->tuner.tuneVal));
    sent_.push_back(text);
    works_->link.atuBypass = (works_->tuner.tuneVal & TUNE_BIT_BYPASS) ? 1 : 0;
  }

  Works *works_;
  std::vector<std::string> sent_;
  std::vector<int> states_;
  int steps_ = 0;
  int clears_ = 0;
};

// The transceiver links that an interface change starts, as threads that end
// at once; collected when the test ends.
class StubTransceiverThreads {
 public:
  StubTransceiverThreads() {
    threadBodies.Serial = [](Works *) {};
    threadBodies.CatSerial = [](Works *) {};
  }
  ~StubTransceiverThreads() {
    for (std::thread *t : {&thrSer, &thrCatSer})
      if (t->joinable()) t->join();
    threadBodies = productThreadBodies;
  }
  StubTransceiverThreads(const StubTransceiverThreads &) = delete;
  StubTransceiverThreads &operator=(const StubTransceiverThreads &) = delete;
};
