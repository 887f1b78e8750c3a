// Decimal text of numbers and the whole-text conversion with its error position.
#include "runtime/numbers.hpp"

#include <gtest/gtest.h>

#include <climits>

TEST(Numbers, IntToTextPadsButNeverCuts) {
    struct Case { std::int32_t value; int width; const char* text; };
    for (const Case& c : {Case{5, 2, " 5"}, Case{-5, 0, "-5"}, Case{-5, 4, "  -5"}, Case{123, 2, "123"},
                          Case{0, 0, "0"}, Case{INT_MAX, 0, "2147483647"}, Case{INT_MIN, 3, "-2147483648"}})
        EXPECT_EQ(IntToText(c.value, c.width), c.text) << c.value << " " << c.width;
}

TEST(Numbers, ParseNumberAcceptsWholeNumbersOnly) {
    struct Case { const char* text; std::int32_t value; int errorPosition; };  // -1: any position
    for (const Case& c : {
             Case{"  42", 42, 0}, Case{"-7", -7, 0}, Case{"+7", 7, 0}, Case{"0", 0, 0},
             Case{"$1F", 31, 0}, Case{"$1f", 31, 0}, Case{"-$10", -16, 0}, Case{"$FFFFFFFF", -1, 0},
             Case{"$7fffffff", INT_MAX, 0}, Case{"$80000000", INT_MIN, 0}, Case{"$000000000FF", 255, 0},
             Case{"2147483647", INT_MAX, 0}, Case{"-2147483647", -INT_MAX, 0},
             // Failures give 0 and the first character not taken.
             Case{"12a", 0, 3}, Case{"", 0, 1}, Case{"   ", 0, 4}, Case{"-", 0, 2}, Case{"$", 0, 2},
             Case{"42 ", 0, 3}, Case{"\t5", 0, 1}, Case{"+-5", 0, 2}, Case{"1 2", 0, 2}, Case{"$1G", 0, 3},
             Case{"0x10", 0, 2}, Case{"2147483648", 0, -1}, Case{"-2147483648", 0, -1},
             Case{"99999999999999999999", 0, -1}, Case{"$123456789", 0, -1}}) {
        const TextNumber n = ParseNumber(c.text);
        EXPECT_EQ(n.Value, c.value) << "'" << c.text << "'";
        if (c.errorPosition >= 0)
            EXPECT_EQ(n.ErrorPosition, c.errorPosition) << "'" << c.text << "'";
        else
            EXPECT_NE(n.ErrorPosition, 0) << "'" << c.text << "'";
        EXPECT_EQ(TextToInt(c.text), c.value);
    }
}
