// The text helpers: letter case, spaces, line normalisation, hexadecimal and
// zero-padded numbers.
#include "runtime/text_helpers.hpp"

#include <gtest/gtest.h>

#include <string>


TEST(TextHelpers, UpperCaseKnowsOnlyAsciiLetters) {
    EXPECT_EQ(UpperCase("log c:\\fido\\log.txt").View(), "LOG C:\\FIDO\\LOG.TXT");
    EXPECT_TRUE(UpperCase("").Empty());
    // The letters a to z and nothing else: the bytes beside them, digits,
    // and the CP866 Cyrillic letters pass unchanged.
    EXPECT_EQ(UpperCase("`azAZ{@[09\xa0\xaf\xe0\xef\xf1\x7f\xff").View(), "`AZAZ{@[09\xa0\xaf\xe0\xef\xf1\x7f\xff");
}

TEST(TextHelpers, StripSpacesRemovesSpacesOnly) {
    EXPECT_EQ(StripSpaces("  C:\\My Fido\\out ").View(), "C:\\MyFido\\out");
    EXPECT_TRUE(StripSpaces("    ").Empty());
    EXPECT_EQ(StripSpaces("a\tb c\t").View(), "a\tbc\t");
}

TEST(TextHelpers, NormalizeLine) {
    struct Case { const char* input; const char* result; };
    for (const Case& c : {Case{"  2:4600/36   2:4600/37  ", "2:4600/36 2:4600/37"}, Case{"/36 /37 ", "36 37"},
                          Case{"a / b", "a  b"}, Case{"/ 36", " 36"}, Case{"//36", "/36"},
                          Case{"file.zip  /x", "file.zip x"}, Case{"a //b", "a b"}, Case{"a\t/b", "a\t/b"},
                          Case{"/", ""}, Case{" /", ""}, Case{"", ""}, Case{"   ", ""}})
        EXPECT_EQ(NormalizeLine(c.input).View(), c.result) << "'" << c.input << "'";
}

TEST(TextHelpers, HexStringIsLowerCaseWithoutLeadingZeros) {
    struct Case { std::int32_t n; const char* text; };
    for (const Case& c : {Case{0, "0"}, Case{9, "9"}, Case{10, "a"}, Case{15, "f"}, Case{16, "10"}, Case{255, "ff"},
                          Case{4096, "1000"}, Case{4600, "11f8"}, Case{65535, "ffff"}, Case{2147483647, "7fffffff"},
                          Case{-1, "ffffffff"}})
        EXPECT_EQ(HexString(c.n).View(), c.text) << c.n;
}

TEST(TextHelpers, ZeroPad) {
    struct Case { std::int32_t value; int width; const char* text; };
    for (const Case& c : {Case{5, 2, "05"}, Case{0, 2, "00"}, Case{59, 2, "59"}, Case{123, 2, "123"},
                          Case{7, 0, "7"}, Case{0, 0, "0"}, Case{7, 4, "0007"}})
        EXPECT_EQ(ZeroPad(c.value, c.width).View(), c.text) << c.value << " " << c.width;
}
