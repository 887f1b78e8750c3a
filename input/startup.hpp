// Start-up: the banner, the help switches and the usage text, and the one
// reading of the command line: where the program lives, the configuration
// option and the items.
#pragma once

#include <vector>

#include "config/configuration.hpp"
#include "runtime/bounded.hpp"
#include "runtime/command_line.hpp"
#include "runtime/standard_files.hpp"

// What the run was asked for.
struct Invocation {
    Program Where;                     // ProgramDir and ConfigName, from argument 0
    BoundedString ConfigFile;          // the file the configuration option names; empty without one
    std::vector<BoundedString> Items;  // the arguments after the option, each cut to 255 characters
};

// Writes the banner block; stops with the usage text for no arguments, a
// lone help switch ("--help" among them) or the configuration option that
// names no file or stands alone, with nothing more for a lone "--version".
Invocation StartUp(const CommandLine& args, const Console& console);
