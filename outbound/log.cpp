// Writing the activity log's lines.
#include "outbound/log.hpp"

#include "config/text_helpers.hpp"
#include "runtime/io_error.hpp"

std::string FormatLogLine(const platform::Date& date, const platform::Time& time, std::string_view request,
                          std::string_view address) {
    std::string line;
    line.append(ZeroPad(date.day, 2).View()).append("/").append(ZeroPad(date.month, 2).View());
    line.append(" ").append(ZeroPad(time.hour, 2).View()).append(":").append(ZeroPad(time.minute, 2).View());
    line.append(":").append(ZeroPad(time.second, 2).View());
    line.append(" ").append(request).append(" ").append(address);
    return line;
}

void WriteLogLine(ActivityLog& log, std::string_view request, std::string_view address) {
    if (!log.LogEnabled) return;
    log.LogFile.WriteLine(FormatLogLine(log.LogDate, platform::LocalTime(), request, address));
    // A full disk under the log must not cost a request: go on without it.
    if (TakeIoError() != 0) CloseLog(log);
}
