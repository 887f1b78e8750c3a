// Number conversions of the runtime.
#include "runtime/numbers.hpp"

#include <cstdint>

std::string IntToText(std::int32_t value, int width) {
    std::string digits;
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits.insert(digits.begin(), '-');
    if (width > 0 && static_cast<std::size_t>(width) > digits.size())
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), ' ');
    return digits;
}

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

TextNumber Failure(std::size_t index) { return {0, static_cast<int>(index) + 1}; }

}  // namespace

TextNumber ParseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    std::uint64_t magnitude = 0;
    if (i < text.size() && text[i] == '$') {
        ++i;
        const std::size_t first = i;
        int significant = 0;
        for (; i < text.size() && HexDigitValue(text[i]) >= 0; ++i) {
            if (significant > 0 || text[i] != '0') ++significant;
            if (significant > 8) return Failure(i);
            magnitude = magnitude * 16 + static_cast<std::uint64_t>(HexDigitValue(text[i]));
        }
        if (i == first || i != text.size()) return Failure(i);
        // Eight hex digits are 32 bits taken as a signed value: "$FFFFFFFF" is -1.
        const auto bits = static_cast<std::uint32_t>(magnitude);
        const std::uint32_t result = negative ? 0u - bits : bits;
        return {static_cast<std::int32_t>(result), 0};
    }

    const std::size_t first = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > 2147483647u) return Failure(i);
    }
    if (i == first || i != text.size()) return Failure(i);
    const auto value = static_cast<std::int32_t>(magnitude);
    return {negative ? -value : value, 0};
}
