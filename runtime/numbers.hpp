// Decimal text of numbers and the whole-text number conversion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Decimal text of value, "-" for a negative one, right-aligned in at least
// width characters with spaces on the left; a longer number is never cut.
std::string IntToText(std::int32_t value, int width = 0);

struct TextNumber {
    std::int32_t Value = 0;
    int ErrorPosition = 0;  // 0 on success, else the first character not taken (from 1)
};

// Whole-text conversion: leading spaces, an optional sign, then "$" and hex
// digits or decimal digits, and nothing after them. Anything else gives 0.
TextNumber ParseNumber(std::string_view text);
inline std::int32_t TextToInt(std::string_view text) { return ParseNumber(text).Value; }
