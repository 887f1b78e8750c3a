// The command line: the split of the raw text Windows hands over, and the
// arguments by position.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/bounded.hpp"

// Cuts a raw command line into tokens; token 0 is the program name as typed.
// Blanks and control characters separate tokens outside double quotes; a
// quoted run joins the token without its quotes; "" alone forms no token.
std::vector<std::string> SplitCommandLine(std::string_view line);

struct CommandLine {
    std::string ProgramPath;             // argument 0: the program file's full path
    std::vector<std::string> Arguments;  // the arguments after the program name

    int ArgCount() const { return static_cast<int>(Arguments.size()); }
    // 0: the program path; 1..ArgCount: that argument; beyond: empty. Each is
    // cut to 255 characters.
    BoundedString ArgAt(int n) const;
};

// The program's own command line: argument 0 from the system, the arguments
// split by SplitCommandLine where the system hands over one text, else main's.
CommandLine ReadCommandLine(int argc, char** argv);
