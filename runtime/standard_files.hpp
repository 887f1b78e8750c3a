// The two files that exist from start-up to the end of the run, and the end
// of the run: the stop a phase throws, which main catches, prints and ends
// with EndRun and exit code 0.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/text_file.hpp"

TextFile& StandardInput();
TextFile& StandardOutput();

// Closes standard input and output, then ends the process with the exit code.
[[noreturn]] void EndRun(unsigned code);

// The one way a phase ends the run early: it throws the line(s) to print.
struct RunStop {
    std::vector<std::string> lines;
    bool ownText = true;  // no user input in the lines: shown in the terminal's character set
};

[[noreturn]] inline void StopRun(std::string_view ownText) { throw RunStop{{std::string(ownText)}, true}; }

// A name as a message shows it: a control byte (below 32, and 127) as "^" and
// a letter ("^[" for ESC), so that a name from a file or a configuration
// cannot recolour or retitle the terminal.
std::string ShownName(std::string_view name);

// A message followed directly by a name the user gave, and what follows the name.
[[noreturn]] inline void StopRunNaming(std::string_view message, std::string_view name, std::string_view after = {}) {
    throw RunStop{{std::string(message) + ShownName(name) + std::string(after)}, false};
}
