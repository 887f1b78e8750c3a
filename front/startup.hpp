// Start-up: the banner, the usage text, and where the program lives.
#pragma once

#include "runtime/bounded.hpp"
#include "runtime/command_line.hpp"
#include "runtime/text_file.hpp"

struct Program {
    BoundedString ProgramDir;  // the program file's directory, without a trailing "\"
    BoundedString ConfigName;  // the configuration file looked for first
};

// Writes the banner block; stops with the usage text for no arguments or a
// lone help switch ("--help" among them), with nothing more for a lone
// "--version"; derives ProgramDir and ConfigName from argument 0.
Program StartUp(const CommandLine& args, TextFile& console);

[[noreturn]] void ShowUsage();

// ProgramDir and ConfigName of a program file's full path.
Program LocateProgram(std::string_view programPath);
