// The activity log: one line per request written, "dd/mm hh:mm:ss request z:n/f.p".
#pragma once

#include <string_view>

#include "front/addresses.hpp"
#include "runtime/platform.hpp"
#include "runtime/text_file.hpp"

struct ActivityLog {
    bool LogEnabled = false;
    TextFile LogFile;
    platform::Date LogDate{};  // read once, when the LOG line is taken
};

// The LOG line: appends to the named file or creates it, and reads the date.
// A log that cannot be opened is left out of the run, silently.
void OpenLog(ActivityLog& log, std::string_view name);

// The log line of one request, written before the request itself. A log that
// cannot be written is dropped for the rest of the run; the requests go on.
void WriteLogLine(ActivityLog& log, std::string_view request, const NodeAddress& node);

// Writes out and closes the log; a log on standard output leaves it open.
void CloseLog(ActivityLog& log);

// The line as written, without its line end.
std::string FormatLogLine(const platform::Date& date, const platform::Time& time, std::string_view request,
                          const NodeAddress& node);
