// The driver: start-up, then the phases in their fixed order. Every stop ends
// here with its message and exit code 0.
#include <new>

#include "config/configuration.hpp"
#include "input/addresses.hpp"
#include "input/requests.hpp"
#include "input/startup.hpp"
#include "outbound/paths.hpp"
#include "outbound/request_files.hpp"
#include "platform/platform.hpp"
#include "runtime/activity_log.hpp"
#include "runtime/command_line.hpp"
#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/standard_files.hpp"

namespace {

void RunJob(const CommandLine& args, const Console& console, ActivityLog& log) {
    const Invocation asked = StartUp(args, console);
    const Settings settings = LoadConfiguration(asked.ConfigFile.View(), asked.Where, log);
    CheckDefaultNode(asked.Items, settings);
    const Items items = GatherRequests(asked.Items, settings, StandardInput(), console);
    const NodeDefaults defaults = LoadNodeDefaults(settings);
    const NodeList nodes = ParseNodeString(items.NodeString, defaults);
    const RequestJob job{CheckRequestList(items.Requests), settings.CheckDupes, settings.CreateClo, log, console};
    for (const NodeAddress& node : nodes) WriteRequests(node, PrepareOutbound(node, settings, defaults.MainZone), job);
    CloseLog(log);
    console.WriteLine();
    console.WriteLine(text::kGoodbye);
}

}  // namespace

int main(int argc, char** argv) {
    platform::StartProcess();
    const CommandLine args = ReadCommandLine(argc, argv);
    const Console& console = StandardOutput();
    ActivityLog log;
    try {
        RunJob(args, console, log);
    } catch (const RunStop& stop) {
        const platform::TextOrigin origin = stop.OwnText ? platform::TextOrigin::Own : platform::TextOrigin::User;
        for (const std::string& line : stop.Lines) console.WriteLine(line, origin);
        CloseLog(log);
    } catch (const std::bad_alloc&) {
        // Ended like every stop: the busy flag given back, the log closed.
        console.WriteLine(text::kNoMemory);
        CloseLog(log);
    }
    EndRun(0);
}
