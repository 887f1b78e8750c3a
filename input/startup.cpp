// Start-up of the run.
#include "input/startup.hpp"

#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"

namespace {

[[noreturn]] void ShowUsage() { throw RunStop{{text::kUsage.begin(), text::kUsage.end()}, true}; }

}  // namespace

Invocation StartUp(const CommandLine& args, const Console& console) {
    console.WriteLine();
    console.WriteLine(text::kBanner);
    console.WriteLine();
    if (args.ArgCount() == 0) ShowUsage();
    const BoundedString first = args.ArgAt(1);
    if (args.ArgCount() == 1) {
        if (first == "/?" || first == "-?" || first == "?" || first == "--help") ShowUsage();
        if (first == "--version") throw RunStop{};  // the banner block says it all
    }
    Invocation asked{LocateProgram(args.ArgAt(0).View()), {}, {}};
    const bool option = IsConfigurationOption(first.View());
    if (option) asked.ConfigFile = OptionFileName(first.View());
    // The configuration option with nothing after it, or naming no file.
    if (option && (args.ArgCount() == 1 || asked.ConfigFile.Empty())) ShowUsage();
    for (int n = option ? 2 : 1; n <= args.ArgCount(); ++n) asked.Items.push_back(args.ArgAt(n));
    return asked;
}
