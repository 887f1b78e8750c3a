// Small helpers the fuzz targets share: cutting one input into parts, and the
// check that stops a run on a broken property.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input cut at each `separator`, into at most `count` parts (the last part
// keeps the rest); missing parts are empty.
inline std::vector<std::string_view> Parts(std::string_view input, char separator, std::size_t count) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const std::size_t end = input.find(separator);
        if (end == std::string_view::npos) break;
        parts.push_back(input.substr(0, end));
        input.remove_prefix(end + 1);
    }
    parts.push_back(input);
    parts.resize(count);
    return parts;
}

// The lines a text holds, worked out plainly: up to the first ^Z, each ended
// by CR, CR LF or LF; a last line without an end counts.
inline std::vector<std::string> TextLines(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\x1a'));
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n", i), bytes.size());
        lines.emplace_back(bytes.substr(i, end - i));
        i = end + 1;
        if (end < bytes.size() && bytes[end] == '\r' && i < bytes.size() && bytes[i] == '\n') ++i;
    }
    return lines;
}

// A property that must hold for every input; a broken one is a finding.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                            \
        }                                                                            \
    } while (false)
