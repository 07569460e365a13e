#pragma once
// The range of every numeric setting of setup.txt, in the units the file
// holds it (tenths or hundredths for the scaled ones), and the check of a
// value read from the file.
#include <optional>

struct SettingRange {
  const char *key;
  long lo, hi;
};

// The range of `key`; null for a setting that is no number.
const SettingRange *SettingRangeOf(const char *key);

// The number that `value` gives: the one digit of a flag key, or the leading
// integer of any other key. Nothing when there is none or it lies outside
// the range.
std::optional<long> SettingNumber(const SettingRange &range, bool oneDigit, const char *value);
