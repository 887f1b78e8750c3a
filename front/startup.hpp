// Start-up: the banner, the usage text for the help switches, and where the
// program lives.
#pragma once

#include "config/configuration.hpp"
#include "runtime/command_line.hpp"
#include "runtime/text_file.hpp"

// Writes the banner block; stops with the usage text for no arguments or a
// lone help switch ("--help" among them), with nothing more for a lone
// "--version"; derives ProgramDir and ConfigName from argument 0.
Program StartUp(const CommandLine& args, TextFile& console);
