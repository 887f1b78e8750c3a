// The activity log's lines: one per request written,
// "dd/mm hh:mm:ss request z:n/f.p".
#pragma once

#include <string>
#include <string_view>

#include "config/activity_log.hpp"
#include "runtime/platform.hpp"

// The log line of one request, written before the request itself; the address
// in its printed form. A log that cannot be written is dropped for the rest of
// the run; the requests go on.
void WriteLogLine(ActivityLog& log, std::string_view request, std::string_view address);

// The line as written, without its line end.
std::string FormatLogLine(const platform::Date& date, const platform::Time& time, std::string_view request,
                          std::string_view address);
