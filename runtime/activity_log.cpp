// Opening, writing and closing the activity log.
#include "runtime/activity_log.hpp"

#include "runtime/file_system.hpp"
#include "runtime/text_helpers.hpp"

namespace {

// Opens the log at `place`: an existing one for adding at its end, else a
// new one. Other runs may write to it at the same time: each line goes to its
// end as it is then.
int OpenLogFile(const Place& place, TextWriter& file) {
    HeldFile log;
    bool made = false;
    if (const int error = OpenOrMakeFile(place, platform::Access::Append, log, made)) return error;
    file.Take(log.Release(), Writers::Many);
    return made ? 0 : file.ToEnd();
}

}  // namespace

void OpenLog(ActivityLog& log, std::string_view name) {
    CloseLog(log);
    log.Name = std::string(name);
    log.Date = platform::LocalDate();
    // The empty name is standard output.
    log.OnConsole = name.empty();
    if (log.OnConsole) {
        log.Enabled = true;
        return;
    }
    // Its folder is the sysop's choice; its own name there may be shared
    // with others (a log kept in the outbound). A log that is there but
    // cannot be opened is left as it is, not emptied.
    const std::size_t nameAt = name.find_last_of("\\/") + 1;
    HeldFolder folder;
    int error = folder.Open(nameAt == 0 ? std::string_view(".") : name.substr(0, nameAt));
    if (error == 0) error = OpenLogFile(Place(folder, std::string(name.substr(nameAt))), log.File);
    log.Enabled = error == 0;
    if (!log.Enabled && log.File.IsOpen()) LetGo(log.File.Release());
}

void WriteLogLine(ActivityLog& log, std::string_view request, std::string_view address) {
    if (!log.Enabled) return;
    const std::string line = FormatLogLine(log.Date, platform::LocalTime(), request, address);
    if (log.OnConsole) return StandardOutput().WriteLine(line);
    // A full disk under the log must not cost a request: go on without it.
    if (log.File.WriteLine(line) != 0) CloseLog(log);
}

// Every line has reached the log in a write of its own: a failed close costs
// nothing.
void CloseLog(ActivityLog& log) {
    if (!log.Enabled) return;
    log.Enabled = false;
    if (log.File.IsOpen()) LetGo(log.File.Release());
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
