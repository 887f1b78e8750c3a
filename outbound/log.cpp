// The activity log.
#include "outbound/log.hpp"

#include "config/text_helpers.hpp"
#include "runtime/io_error.hpp"

void OpenLog(ActivityLog& log, std::string_view name) {
    // A log named by an earlier LOG line receives nothing further.
    if (log.LogEnabled) CloseLog(log);
    log.LogEnabled = true;
    log.LogFile.Bind(name);
    // A log that is there but cannot be opened is left as it is, not emptied.
    // Other runs may write to it at the same time: each line goes to its end.
    if (FileExists(name)) {
        log.LogFile.OpenAppend(Writers::Many);
    } else {
        log.LogFile.CreateNew(Writers::Many);
        // Another run made it in the meantime.
        if (IoErrorPending() && platform::MeansAlreadyExists(TakeIoError())) log.LogFile.OpenAppend(Writers::Many);
    }
    // A log that cannot be opened must not leave an error behind: the next
    // configuration line would not be read.
    if (TakeIoError() != 0) log.LogEnabled = false;
    log.LogDate = platform::LocalDate();
}

std::string FormatLogLine(const platform::Date& date, const platform::Time& time, std::string_view request,
                          const NodeAddress& node) {
    std::string line;
    line.append(ZeroPad(date.day, 2).View()).append("/").append(ZeroPad(date.month, 2).View());
    line.append(" ").append(ZeroPad(time.hour, 2).View()).append(":").append(ZeroPad(time.minute, 2).View());
    line.append(":").append(ZeroPad(time.second, 2).View());
    line.append(" ").append(request).append(" ").append(PrintedForm(node));
    return line;
}

void WriteLogLine(ActivityLog& log, std::string_view request, const NodeAddress& node) {
    if (!log.LogEnabled) return;
    log.LogFile.WriteLine(FormatLogLine(log.LogDate, platform::LocalTime(), request, node));
    // A full disk under the log must not cost a request: go on without it.
    if (TakeIoError() != 0) CloseLog(log);
}

void CloseLog(ActivityLog& log) {
    if (!log.LogEnabled) return;
    log.LogEnabled = false;
    log.LogFile.Close();
    TakeIoError();
}
