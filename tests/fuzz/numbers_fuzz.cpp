// The whole-text number conversion against a plain restatement of its rule,
// and the decimal text of a number read back.
#include <climits>
#include <cstring>

#include "fuzz/fuzz_input.hpp"
#include "runtime/numbers.hpp"

namespace {

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Spaces, a sign, "$" and up to 8 significant hex digits or decimal digits up
// to 2147483647, then the end; anything else gives 0 and the position of the
// first character not taken.
TextNumber Reference(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const bool hex = i < text.size() && text[i] == '$';
    if (hex) ++i;
    const std::size_t first = i;
    unsigned long long magnitude = 0;
    int significant = 0;
    for (; i < text.size() && DigitValue(text[i], hex) >= 0; ++i) {
        if (hex) {
            if (significant > 0 || text[i] != '0') ++significant;
            if (significant > 8) return {0, static_cast<int>(i) + 1};
            magnitude = magnitude * 16 + static_cast<unsigned>(DigitValue(text[i], true));
        } else {
            magnitude = magnitude * 10 + static_cast<unsigned>(DigitValue(text[i], false));
            if (magnitude > INT_MAX) return {0, static_cast<int>(i) + 1};
        }
    }
    if (i == first || i != text.size()) return {0, static_cast<int>(i) + 1};
    const auto bits = static_cast<std::uint32_t>(magnitude);
    return {static_cast<std::int32_t>(negative ? 0u - bits : bits), 0};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    const TextNumber number = ParseNumber(text);
    const TextNumber expected = Reference(text);
    FUZZ_CHECK(number.Value == expected.Value);
    FUZZ_CHECK(number.ErrorPosition == expected.ErrorPosition);
    FUZZ_CHECK(number.ErrorPosition == 0 || number.Value == 0);
    FUZZ_CHECK(number.ErrorPosition >= 0 && static_cast<std::size_t>(number.ErrorPosition) <= size + 1);
    FUZZ_CHECK(TextToInt(text) == number.Value);

    if (size >= 5) {
        std::int32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        const int width = data[4] % 16;
        const std::string decimal = IntToText(value, width);
        FUZZ_CHECK(decimal.size() >= static_cast<std::size_t>(width));
        // The one number whose magnitude has no positive counterpart is refused.
        if (value != INT_MIN) FUZZ_CHECK(ParseNumber(decimal).Value == value);
    }
    return 0;
}
