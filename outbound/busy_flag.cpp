// Taking and giving back an address's busy flag.
#include "outbound/busy_flag.hpp"

#include <algorithm>
#include <cstdint>

#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/file_system.hpp"
#include "runtime/numbers.hpp"
#include "platform/platform.hpp"

BusyFlag::BusyFlag(const OutboundTarget& target, const NodeAddress& node) : place_(target.File(".bsy")) {
    const std::string content = IntToText(platform::ProcessId()) + "\r\n";
    // The wait is measured on a clock, so that the pauses' own slack does
    // not add up: the last look comes when the 5 s are over.
    const std::int64_t start = platform::Milliseconds();
    while (true) {
        // From the moment the flag may be there, an interrupt waits until it
        // is gone again.
        held_.emplace();
        platform::Handle flag = platform::kNoHandle;
        const int error = MakeFile(place_, platform::Access::ReadWrite, flag);
        if (error == 0) {
            // It holds whatever could be written; its being there is what counts.
            [[maybe_unused]] const int written = platform::FileWrite(flag, content.data(), static_cast<int>(content.size()));
            LetGo(flag);
            return;
        }
        held_.reset();
        if (!platform::MeansAlreadyExists(error)) return;
        // A stale flag is the sysop's to judge: it is left where it is.
        const std::int64_t waited = platform::Milliseconds() - start;
        if (waited >= kBusyWaitMilliseconds)
            StopRun(std::string(text::kBusyBefore) + PrintedForm(node) + std::string(text::kBusyAfter));
        platform::Pause(static_cast<int>(std::min<std::int64_t>(kBusyCheckMilliseconds, kBusyWaitMilliseconds - waited)));
    }
}

BusyFlag::~BusyFlag() {
    if (!held_) return;
    // Through the folder held since the flag was made: whatever was renamed
    // or planted in the outbound meanwhile, this flag is the one removed. A
    // flag that cannot be removed stays; nothing else can be done about it.
    [[maybe_unused]] const int removed = RemoveFile(place_);
    // The address is done: an interrupt that came meanwhile ends the run here.
    held_.reset();
}
