// How the run reports what went wrong. An operation that can fail returns 0
// or the error that stopped it, as the platform's do, and the caller looks at
// it where it decides what the failure means. A phase that must end the run
// throws the stop, which main catches, prints and ends with exit code 0.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The runtime's own code, for a file that is not open; every other non-zero
// code is the system's.
inline constexpr int kFileNotOpen = 103;

// The one way a phase ends the run early: the line(s) to print.
struct RunStop {
    std::vector<std::string> Lines;
    bool OwnText = true;  // no user input in the lines: shown in the terminal's character set
};

[[noreturn]] void StopRun(std::string_view ownText);

// A name as a message shows it: a control byte (below 32, and 127) as "^" and
// a letter ("^[" for ESC), so that a name from a file or a configuration
// cannot recolour or retitle the terminal.
std::string ShownName(std::string_view name);

// A message followed directly by a name the user gave, and what follows the name.
[[noreturn]] void StopRunNaming(std::string_view message, std::string_view name, std::string_view after = {});
