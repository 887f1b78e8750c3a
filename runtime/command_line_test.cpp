// The split of the raw command line and the arguments by position.
#include "runtime/command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CommandLine, SplitsIntoTokens) {
    using Tokens = std::vector<std::string>;
    struct Case { std::string_view line; Tokens tokens; };
    const Case cases[] = {
        {"tolvex  \"a b\"  c", {"tolvex", "a b", "c"}},
        {"tolvex", {"tolvex"}},
        {"", {}},
        {" \t ", {}},
        {"tolvex a\"b c\"d", {"tolvex", "ab cd"}},
        {"tolvex \"\" x \"\"", {"tolvex", "x"}},
        {"tolvex a\"\"b", {"tolvex", "ab"}},
        {"tolvex\ta\x01" "b\x1f" "c", {"tolvex", "a", "b", "c"}},
        {"tolvex \"a b", {"tolvex", "a b"}},
        {"tolvex \"a\tb\" c:\\dir\\ x", {"tolvex", "a\tb", "c:\\dir\\", "x"}},
        {"\"C:\\My Fido\\tolvex.exe\" /36", {"C:\\My Fido\\tolvex.exe", "/36"}},
        {std::string_view("tolvex a\0b", 10), {"tolvex", "a"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.tokens) << "'" << c.line << "'";
}

TEST(CommandLine, ArgumentsByPosition) {
    CommandLine none{std::string(300, 'p'), {}};
    EXPECT_EQ(none.ArgCount(), 0);
    EXPECT_EQ(none.ArgAt(0).View(), std::string(255, 'p'));
    EXPECT_TRUE(none.ArgAt(1).Empty());

    const CommandLine two{"C:\\tolvex.exe", {"a b", "c"}};
    EXPECT_EQ(two.ArgCount(), 2);
    EXPECT_EQ(two.ArgAt(1).View(), "a b");
    EXPECT_EQ(two.ArgAt(2).View(), "c");
    EXPECT_TRUE(two.ArgAt(3).Empty());
}
