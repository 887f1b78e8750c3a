// The driver: start-up, then the phases in their fixed order. Every stop ends
// here with its message and exit code 0.
#include <new>

#include "config/configuration.hpp"
#include "config/console_texts.hpp"
#include "front/addresses.hpp"
#include "front/requests.hpp"
#include "front/startup.hpp"
#include "outbound/paths.hpp"
#include "outbound/request_files.hpp"
#include "runtime/command_line.hpp"
#include "runtime/io_error.hpp"
#include "runtime/platform.hpp"
#include "runtime/standard_files.hpp"
#include "runtime/text_file.hpp"

namespace {

void RunJob(const CommandLine& args, TextFile& console, ActivityLog& log) {
    const Program program = StartUp(args, console);
    const Settings settings = LoadConfiguration(args, program, log);
    CheckDefaultNode(args, settings);
    const Requests requests = GatherRequests(args, settings, StandardInput(), console);
    const NodeList nodes = ParseNodeString(requests.NodeString, LoadNodeDefaults(settings));
    CheckRequestList(requests);
    for (const NodeAddress& node : nodes) {
        const OutboundTarget target = PrepareOutbound(node, settings, nodes.MainZone);
        WriteRequests(node, target, requests, settings, log, console);
    }
    CloseLog(log);
    console.WriteLine();
    console.WriteLine(text::kGoodbye);
}

}  // namespace

int main(int argc, char** argv) {
    platform::StartProcess();
    const CommandLine args = ReadCommandLine(argc, argv);
    TextFile& console = StandardOutput();
    ActivityLog log;
    try {
        RunJob(args, console, log);
    } catch (const RunStop& stop) {
        // The message is what the sysop needs to see, whatever failed before it.
        TakeIoError();
        const platform::TextOrigin origin = stop.ownText ? platform::TextOrigin::Own : platform::TextOrigin::User;
        for (const std::string& line : stop.lines) console.WriteLine(line, origin);
        CloseLog(log);
    } catch (const std::bad_alloc&) {
        // Ended like every stop: the busy flag given back, the log closed.
        TakeIoError();
        console.WriteLine(text::kNoMemory);
        CloseLog(log);
    }
    EndRun(0);
}
