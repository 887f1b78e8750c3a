// The console bytes a run is expected to print: lines ended by CR LF, after
// the banner block every run begins with.
#pragma once

#include <string>
#include <vector>

#include "generated/version.hpp"

inline std::string Crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

inline std::string Banner() {
    return Crlf({"", "Tolvex/w32 v" TOLVEX_VERSION " (released " TOLVEX_RELEASE_DATE " by the tolvex developers)", ""});
}

// The banner block, then the given lines.
inline std::string Console(const std::vector<std::string>& lines) { return Banner() + Crlf(lines); }
