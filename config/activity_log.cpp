// Opening and closing the activity log.
#include "config/activity_log.hpp"

#include "config/text_helpers.hpp"
#include "runtime/io_error.hpp"

void OpenLog(ActivityLog& log, std::string_view name) {
    CloseLog(log);
    log.LogEnabled = true;
    // Its folder is the sysop's choice; its own name there may be shared
    // with others (a log kept in the outbound).
    const std::size_t folderEnd = name.find_last_of("\\/");
    log.LogFile.Bind({name, folderEnd == std::string_view::npos ? 0 : folderEnd + 1});
    // A log that is there but cannot be opened is left as it is, not emptied.
    // Other runs may write to it at the same time: each line goes to its end.
    if (FileExists(log.LogFile.Where())) {
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

void CloseLog(ActivityLog& log) {
    if (!log.LogEnabled) return;
    log.LogEnabled = false;
    log.LogFile.Close();
    TakeIoError();
}
