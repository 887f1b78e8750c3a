// Opening, writing and closing the activity log.
#include "runtime/activity_log.hpp"

#include "runtime/text_helpers.hpp"

void OpenLog(ActivityLog& log, std::string_view name) {
    CloseLog(log);
    // Its folder is the sysop's choice; its own name there may be shared
    // with others (a log kept in the outbound).
    log.File.Bind({name, platform::Path(name).NameAt()});
    // A log that is there but cannot be opened is left as it is, not emptied.
    // Other runs may write to it at the same time: each line goes to its end.
    if (FileExists(log.File.Where())) {
        log.File.OpenAppend(Writers::Many);
    } else {
        log.File.CreateNew(Writers::Many);
        // Another run made it in the meantime.
        if (platform::MeansAlreadyExists(log.File.TakeError())) log.File.OpenAppend(Writers::Many);
    }
    log.Enabled = log.File.TakeError() == 0;
    log.Date = platform::LocalDate();
}

void WriteLogLine(ActivityLog& log, std::string_view request, std::string_view address) {
    if (!log.Enabled) return;
    log.File.WriteLine(FormatLogLine(log.Date, platform::LocalTime(), request, address));
    // A full disk under the log must not cost a request: go on without it.
    if (log.File.TakeError() != 0) CloseLog(log);
}

void CloseLog(ActivityLog& log) {
    if (!log.Enabled) return;
    log.Enabled = false;
    log.File.Close();
    log.File.TakeError();
}

std::string FormatLogLine(const platform::Date& date, const platform::Time& time, std::string_view request,
                          std::string_view address) {
    std::string line;
    line.append(ZeroPad(date.Day, 2).View()).append("/").append(ZeroPad(date.Month, 2).View());
    line.append(" ").append(ZeroPad(time.Hour, 2).View()).append(":").append(ZeroPad(time.Minute, 2).View());
    line.append(":").append(ZeroPad(time.Second, 2).View());
    line.append(" ").append(request).append(" ").append(address);
    return line;
}
