// Start-up of the run.
#include "front/startup.hpp"

#include "config/console_texts.hpp"
#include "runtime/standard_files.hpp"

Program StartUp(const CommandLine& args, TextFile& console) {
    console.WriteLine();
    console.WriteLine(text::kBanner);
    console.WriteLine();
    if (args.ArgCount() == 0) ShowUsage();
    if (args.ArgCount() == 1) {
        const BoundedString only = args.ArgAt(1);
        if (only == "/?" || only == "-?" || only == "?" || only == "--help") ShowUsage();
        if (only == "--version") throw RunStop{};  // the banner block says it all
    }
    return LocateProgram(args.ArgAt(0).View());
}
