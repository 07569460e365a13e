#pragma once
// Scenario steps that wait for something the unit brings about: "TEXT…
// [within SECONDS]" arguments and the bounded wait itself.
#include <atomic>
#include <functional>
#include <string>

#include "sim/world/scenario.h"

constexpr double AWAIT_DEFAULT_SECONDS = 60;

// The words of the event's arguments joined by single blanks, and the time
// limit given by a trailing "within SECONDS" (else `seconds` stays).
bool AwaitArgs(const ScenarioEvent &ev, std::string &text, double &seconds, std::string &error);

// True once `done()` holds; false after `seconds` or when `interrupted` is set.
bool AwaitUntil(const std::function<bool()> &done, double seconds,
                const std::atomic<bool> &interrupted);
