// The activity log: one line for every request written, "dd/mm hh:mm:ss
// request z:n/f.p". The LOG line opens it (or creates it) and reads the date
// its lines carry; the end of the run closes it.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.hpp"
#include "runtime/standard_files.hpp"
#include "runtime/text_writer.hpp"

struct ActivityLog {
    bool Enabled = false;  // a LOG line was taken and its file could be opened
    std::string Name;      // as the last LOG line gave it; empty: standard output
    TextWriter File;       // the log's file, unless the log is on the console
    bool OnConsole = false;
    platform::Date Date{};  // read once, when the LOG line is taken
};

// The LOG line: appends to the named file or creates it, and reads the date.
// A log named by an earlier LOG line receives nothing further. A log that
// cannot be opened is left out of the run, silently.
void OpenLog(ActivityLog& log, std::string_view name);

// The log line of one request, written once the request is in its file; the
// address in its printed form. A log that cannot be written is dropped for
// the rest of the run; the requests go on.
void WriteLogLine(ActivityLog& log, std::string_view request, std::string_view address);

// Closes the log; a log on standard output leaves that open.
void CloseLog(ActivityLog& log);

// The line as written, without its line end.
std::string FormatLogLine(const platform::Date& date, const platform::Time& time, std::string_view request,
                          std::string_view address);
