#pragma once
// The temperature and power log LOGtemp.txt, written on demand.
#include <string>

struct Works;

constexpr int LOG_TEMP_DELETE = -1;     // remove the log
constexpr int LOG_TEMP_LINE = 0;        // append a line
constexpr int LOG_TEMP_PROTECTION = 1;  // append a line marked as a protection event

void LogTempFunction(Works *works, int what);
// One line of the log for the present readings.
std::string LogTempLine(Works *works, bool protection);
