// An existing request file, cleaned of repeats and appended to with the
// duplicate check on: every line it held before is still there, once, in its
// order and whole; a file without repeats or with text after a ^Z is only
// added to, after the ^Z bytes that end it are cut; every
// request not there before is added; the flow file is made; the busy flag is
// gone. The input is the request file's bytes.
#include "config/configuration.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/memory_platform.hpp"
#include "input/requests.hpp"
#include "outbound/request_files.hpp"

#include <set>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memory_platform::Reset();
    Settings settings;
    settings.Outbound = "C:\\FIDO";
    settings.DefaultOutbound = "OUT";
    settings.OutboundSet = true;
    const NodeAddress node{2, 4600, 36, 0};
    const OutboundTarget target = PrepareOutbound(node, settings, 2);
    const std::string_view before = AsText(data, size);
    memory_platform::PutFile(target.RequestFile, before);

    ActivityLog log;
    const Console console(platform::StandardOutputHandle());
    const RequestJob job{CheckRequestList({"a.zip b.zip!!pw", "A.ZIP  a.zip x"}), true, true, log, console};
    WriteRequests(node, target, job);

    std::string file;
    std::set<std::string> seen;
    bool repeats = false;
    for (const std::string& line : TextLines(before)) repeats |= !seen.insert(line).second;
    const std::size_t mark = before.find('\x1a');
    const bool textAfterMark =
        mark != std::string_view::npos && before.find_first_not_of('\x1a', mark) != std::string_view::npos;
    if (repeats && !textAfterMark) {
        std::set<std::string> kept;
        for (const std::string& line : TextLines(before))
            if (kept.insert(line).second) file += line + "\r\n";
    } else {
        // Added to as it is: only the ^Z bytes that end it are cut, the new
        // lines on a line of their own.
        file = std::string(before.substr(0, before.find_last_not_of('\x1a') + 1));
    }
    // Only what the file held counts as present: a word asked twice is written twice.
    std::string added;
    for (const char* request : {"a.zip", "b.zip !pw", "A.ZIP", "a.zip", "x"})
        if (seen.count(request) == 0) added += std::string(request) + "\r\n";
    if (!added.empty() && !file.empty() && file.back() != '\r' && file.back() != '\n') file += "\r\n";
    file += added;
    FUZZ_CHECK(memory_platform::GetFile(target.RequestFile) == file);
    FUZZ_CHECK(memory_platform::GetFile(target.FlowFile) == "");
    FUZZ_CHECK(!memory_platform::GetFile(target.BusyFlag));
    FUZZ_CHECK(!memory_platform::GetFile(target.TargetDir + "\\" + CopyNameOf(target.FileStem + ".req")));
    return 0;
}
