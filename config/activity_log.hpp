// The activity log as the configuration sets it up: a LOG line opens it (or
// creates it) and reads the date its lines carry; the end of the run closes it.
// Its lines are written by the request writer (outbound/log.hpp).
#pragma once

#include <string_view>

#include "runtime/platform.hpp"
#include "runtime/text_file.hpp"

struct ActivityLog {
    bool LogEnabled = false;
    TextFile LogFile;
    platform::Date LogDate{};  // read once, when the LOG line is taken
};

// The LOG line: appends to the named file or creates it, and reads the date.
// A log named by an earlier LOG line receives nothing further. A log that
// cannot be opened is left out of the run, silently.
void OpenLog(ActivityLog& log, std::string_view name);

// Closes the log; a log on standard output leaves that open.
void CloseLog(ActivityLog& log);
