// The console bytes a run is expected to print, made of the program's own
// texts (runtime/console_texts.hpp): lines ended by CR LF, after the banner
// block every run begins with.
#pragma once

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/console_texts.hpp"

using Lines = std::initializer_list<std::string_view>;

template <typename Range>
std::string CrlfJoined(const Range& lines) {
    std::string text;
    for (std::string_view line : lines) text.append(line).append("\r\n");
    return text;
}
inline std::string Crlf(Lines lines) { return CrlfJoined(lines); }

// The lines of CR LF text; `rest` gets what follows the last line end.
inline std::vector<std::string> CrlfLines(std::string_view bytes, std::string* rest = nullptr) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (std::size_t end; (end = bytes.find("\r\n", at)) != std::string_view::npos; at = end + 2)
        lines.emplace_back(bytes.substr(at, end - at));
    if (rest != nullptr) *rest = bytes.substr(at);
    return lines;
}

inline std::string Banner() { return Crlf({"", text::kBanner, ""}); }
// The banner block, then the given lines.
inline std::string Console(Lines lines) { return Banner() + Crlf(lines); }
// ... and the goodbye of a run that did its whole job.
inline std::string Finished(Lines lines) { return Console(lines) + Crlf({"", text::kGoodbye}); }
inline std::string Usage() { return Banner() + CrlfJoined(text::kUsage); }

inline std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}
