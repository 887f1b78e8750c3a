// Start-up of the run.
#include "front/startup.hpp"

#include "front/console.hpp"
#include "front/run_stop.hpp"

void ShowUsage() { throw RunStop{{text::kUsage.begin(), text::kUsage.end()}, true}; }

Program LocateProgram(std::string_view programPath) {
    const std::size_t slash = programPath.rfind('\\');
    // A path without any "\" is all file name, in the current directory.
    const std::string_view fileName = slash == std::string_view::npos ? programPath : programPath.substr(slash + 1);
    const std::string_view directory = slash == std::string_view::npos ? std::string_view(".") : programPath.substr(0, slash);
    Program program;
    program.ProgramDir = BoundedString(directory);
    program.ConfigName = Join(fileName.substr(0, fileName.find('.')), ".CFG");
    return program;
}

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
