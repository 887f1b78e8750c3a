// The one way a phase ends the run early: it throws the line(s) to print, and
// main prints them and ends with exit code 0.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct RunStop {
    std::vector<std::string> lines;
    bool ownText = true;  // no user input in the lines: shown in the terminal's character set
};

[[noreturn]] inline void StopRun(std::string_view ownText) { throw RunStop{{std::string(ownText)}, true}; }

// A message followed directly by a name the user gave, and what follows the name.
[[noreturn]] inline void StopRunNaming(std::string_view message, std::string_view name, std::string_view after = {}) {
    throw RunStop{{std::string(message) + std::string(name) + std::string(after)}, false};
}
