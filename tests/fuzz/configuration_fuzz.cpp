// A whole configuration file through LoadConfiguration, then what the later
// phases take from it: the default-node check, the address defaults, the
// outbound names of a few addresses and a log line.
#include "config/configuration.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/memory_platform.hpp"
#include "input/addresses.hpp"
#include "outbound/paths.hpp"
#include "runtime/activity_log.hpp"
#include "runtime/errors.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memory_platform::Reset();
    memory_platform::PutFile("T.CFG", AsText(data, size));
    const Program program = LocateProgram("\\FIDO\\TOLVEX.EXE");
    ActivityLog log;
    try {
        const Settings settings = LoadConfiguration("T.CFG", program, log);
        FUZZ_CHECK(settings.ZoneTable.size() <= static_cast<std::size_t>(kZoneCapacity));
        CheckDefaultNode({"a.zip", "/36", "3:5/7.1"}, settings);
        const NodeDefaults defaults = LoadNodeDefaults(settings);
        for (const NodeAddress& node : {defaults.Slot, NodeAddress{3, 5, 7, 1}, NodeAddress{-1, -1, -1, -1}}) {
            const OutboundTarget target = OutboundNames(node, settings, defaults.MainZone);
            FUZZ_CHECK(target.NodeStem.size() == 8);
            FUZZ_CHECK(target.FileStem.size() == 8);
            WriteLogLine(log, "a.zip", PrintedForm(node));
        }
    } catch (const RunStop& stop) {
        FUZZ_CHECK(!stop.Lines.empty());
    }
    CloseLog(log);
    return 0;
}
