// Start-up of the run.
#include "input/startup.hpp"

#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"

namespace {

[[noreturn]] void ShowUsage() { throw RunStop{{text::kUsage.begin(), text::kUsage.end()}, true}; }

}  // namespace

Program StartUp(const CommandLine& args, TextWriter& console) {
    console.WriteLine();
    console.WriteLine(text::kBanner);
    console.WriteLine();
    if (args.ArgCount() == 0) ShowUsage();
    const BoundedString first = args.ArgAt(1);
    if (args.ArgCount() == 1) {
        if (first == "/?" || first == "-?" || first == "?" || first == "--help") ShowUsage();
        if (first == "--version") throw RunStop{};  // the banner block says it all
    }
    // The configuration option with nothing after it, or naming no file.
    if (IsConfigurationOption(first.View()) && (args.ArgCount() == 1 || OptionFileName(first.View()).Empty()))
        ShowUsage();
    return LocateProgram(args.ArgAt(0).View());
}
