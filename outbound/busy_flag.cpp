// Taking and giving back an address's busy flag.
#include "outbound/busy_flag.hpp"

#include "front/console.hpp"
#include "front/run_stop.hpp"
#include "runtime/file_system.hpp"
#include "runtime/io_error.hpp"
#include "runtime/numbers.hpp"
#include "runtime/platform.hpp"

BusyFlag::BusyFlag(const OutboundTarget& target, const NodeAddress& node) : path_(target.BusyFlag) {
    const std::string content = IntToText(platform::ProcessId()) + "\r\n";
    for (int waited = 0;; waited += kBusyCheckMilliseconds) {
        switch (CreateFlagFile(path_, content)) {
            case FlagResult::Created:
                held_ = true;
                return;
            case FlagResult::Failed:
                return;
            case FlagResult::Exists:
                break;
        }
        // A stale flag is the sysop's to judge: it is left where it is.
        if (waited >= kBusyWaitMilliseconds)
            StopRun(std::string(text::kBusyBefore) + PrintedForm(node) + std::string(text::kBusyAfter));
        platform::Pause(kBusyCheckMilliseconds);
    }
}

BusyFlag::~BusyFlag() {
    if (!held_) return;
    RemoveFile(path_);
    TakeIoError();
}
