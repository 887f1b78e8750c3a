// Start-up: the banner, the help switches and the usage text, and where the
// program lives.
#pragma once

#include "config/configuration.hpp"
#include "runtime/command_line.hpp"
#include "runtime/text_writer.hpp"

// Writes the banner block; stops with the usage text for no arguments, a
// lone help switch ("--help" among them) or the configuration option that
// names no file or stands alone, with nothing more for a lone "--version";
// derives ProgramDir and ConfigName from argument 0.
Program StartUp(const CommandLine& args, TextWriter& console);
