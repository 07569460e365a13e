#pragma once
// A stand-in for the amplifier's microcontroller at the end of a
// pseudo-terminal, answering each command as a test scripts it, so that the
// link's own handling of silence, bad frames and lost ports can be driven
// exactly. (The model of the amplifier is the simulator's.)
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "amplifier/framing.h"
#include "sim/world/pty.h"

class ScriptedAmp {
 public:
  // The reply frame to a command text ("ST;"), or "" for no answer.
  using Script = std::function<std::string(const std::string &command)>;

  explicit ScriptedAmp(Script script) : script_(std::move(script)) {}
  ~ScriptedAmp() { Stop(); }

  bool Start(const std::string &path) {
    std::string error;
    if (!port_.Open(path, error)) return false;
    stop_ = false;
    worker_ = std::thread([this] { Run(); });
    return true;
  }
  void Stop() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    port_.Close();
  }

  // The command texts received, in order (frames with a wrong CRC as "!bad").
  std::vector<std::string> Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  int Count(const std::string &command) const {
    int n = 0;
    for (const auto &c : Received()) n += c == command;
    return n;
  }

 private:
  void Run() {
    std::string pending;
    while (!stop_) {
      uint8_t buf[256];
      int n = port_.Read(buf, sizeof buf, 5);
      pending.append(reinterpret_cast<char *>(buf), n);
      for (size_t end; (end = pending.find(';')) != std::string::npos;) {
        std::string frame = pending.substr(0, end + 1);
        pending.erase(0, end + 1);
        Handle(frame);
      }
    }
  }
  void Handle(const std::string &frame) {
    std::string text = frame.size() > 2 ? frame.substr(2) : frame;
    bool ok = frame.size() > 2 && FrameCommand(text) == frame;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      received_.push_back(ok ? text : "!bad");
    }
    std::string reply = script_(text);
    if (!reply.empty()) port_.Write(reply, false);
  }

  Script script_;
  PtyPort port_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> received_;
};

// Answers every command the way the amplifier confirms it: the same letters.
inline std::string EchoReply(const std::string &command) {
  if (command == "ST;") return FrameReply("ST00000000000000002048204800000000;");
  return FrameReply(command);
}
