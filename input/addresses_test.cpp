// The address defaults and the address parser.
#include "input/addresses.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "runtime/console_texts.hpp"
#include "support/stops.hpp"

namespace {

std::vector<NodeAddress> Parse(std::string_view text, std::string_view net = "2:4600", std::string_view node = "12") {
    return ParseNodeString(BoundedString(text), LoadNodeDefaults(net, node));
}

struct AddressCase {
    std::string_view text;
    std::vector<NodeAddress> expected;
};

TEST(ParseNodeString, CompletesEachAddressFromTheDefaults) {
    const std::vector<AddressCase> cases = {
        {"3:700/36.1", {{3, 700, 36, 1}}},
        {"700/36", {{2, 700, 36, 0}}},
        {"36", {{2, 4600, 36, 0}}},
        {"/36 ", {{2, 4600, 36, 0}}},
        {"36.1", {{2, 4600, 36, 1}}},
        {".1", {{2, 4600, 12, 1}}},
        {"36.", {{2, 4600, 36, 0}}},
        {"3:700", {{3, 4600, 700, 0}}},
        {"700/", {{2, 700, 0, 0}}},
        {"2:", {{2, 4600, 0, 0}}},
        // Never completed from the address before it.
        {"3:700/36 37", {{3, 700, 36, 0}, {2, 4600, 37, 0}}},
        {"/36 /37 ", {{2, 4600, 36, 0}, {2, 4600, 37, 0}}},
        {"36.7 3:45/6.1 .2", {{2, 4600, 36, 7}, {3, 45, 6, 1}, {2, 4600, 12, 2}}},
        // A lone "/" leaves two blanks: one address, node 37.
        {"36 / 37", {{2, 4600, 37, 0}}},
        // A leading "/ " leaves a leading blank: node 0, then node 36.
        {"/ 36", {{2, 4600, 0, 0}, {2, 4600, 36, 0}}},
        {"000000000036", {{2, 4600, 36, 0}}},
        // Net and node fill 16 bits; zone and point keep their 32-bit range.
        {"2:65535/65535.65535", {{2, 65535, 65535, 65535}}},
        {"2147483647:1/2.2147483647", {{2147483647, 1, 2, 2147483647}}},
    };
    for (const AddressCase& c : cases) EXPECT_EQ(Parse(c.text), c.expected) << c.text;
}

TEST(ParseNodeString, DefaultsOfOtherSettings) {
    // A full address as DEFAULTNODE is no number: "." then means node 0.
    EXPECT_EQ(Parse(".1", "2:4600", "2:4600/12"), (std::vector<NodeAddress>{{2, 4600, 0, 1}}));
    // ...while the same text as the whole address text still parses.
    EXPECT_EQ(Parse("2:4600/12", "2:4600", "2:4600/12"), (std::vector<NodeAddress>{{2, 4600, 12, 0}}));
    EXPECT_EQ(Parse("36", "", "12"), (std::vector<NodeAddress>{{0, 0, 36, 0}}));
    EXPECT_EQ(Parse("36", "4600", "12"), (std::vector<NodeAddress>{{0, 4600, 36, 0}}));
    EXPECT_EQ(LoadNodeDefaults("2:4600", "").MainZone, 2);
}

TEST(ParseNodeString, StopsOnTextThatNamesNoAddress) {
    const std::string noAddress(text::kNoAddress.View());
    const std::string bad(text::kBadAddress.View());
    const std::vector<std::pair<std::string_view, std::string>> cases = {
        {"", noAddress},
        {"/", noAddress},
        {"   ", noAddress},
        {"2:4600/36 x", bad},
        {"36 37-38", bad},
        {"36 @37", bad},
        {"36\t37", bad},
        {"36,37", bad},
        // A separator twice, or out of its order, within one address.
        {"2:5020/52/1", bad},
        {"2::5020/52", bad},
        {"2:5020//52", bad},
        {"2:5020/52.1.2", bad},
        {"1:2:3/4/5", bad},
        {"5020/52:1", bad},
        {"52.1:3", bad},
        {"52.1/3", bad},
        {"36 2:5020/52/1", bad},
        {"2147483648", bad},
        {"4294967298:4600/36", bad},  // would be zone 2, cut to 32 bits
        {"65536", bad},
        {"65536/1", bad},
        {"36 2:65535/65536.1", bad},
        {"1 2 3 4 5 6 7 8 9 10 11", std::string(text::kTooManyAddresses)},
    };
    for (const auto& [input, message] : cases)
        EXPECT_EQ(StopLine([&] { Parse(input); }), message) << input;
    // A net or node from the defaults counts as typed, and so does a negative
    // one; a number too large to hold in the defaults stops whatever is typed.
    const std::vector<std::tuple<std::string_view, std::string_view, std::string_view>> defaults = {
        {"36", "2:65536", "12"},
        {".1", "2:4600", "70000"},
        {".1", "2:4600", "-12"},
        {".1", "2:4600", "$FFFFFFF4"},
        {"/36", "123456789012345678901234567890:4600", "12"},
        {"/36", "2:99999999999", "12"},
        {"/36", "2:4600", "4294967284"},
        {"/36", "2:4600", "-$123456789"},
    };
    for (const auto& [input, net, node] : defaults)
        EXPECT_EQ(StopLine([&] { Parse(input, net, node); }), bad) << input << " " << net << " " << node;
    EXPECT_EQ(Parse("1 2 3 4 5 6 7 8 9 10").size(), 10u);
}

TEST(PrintedForm, ShowsThePointAlways) {
    EXPECT_EQ(PrintedForm({2, 4600, 36, 0}), "2:4600/36.0");
    EXPECT_EQ(PrintedForm({2, 4600, 36, 7}), "2:4600/36.7");
    EXPECT_EQ(PrintedForm({2, 4600, -1, 1}), "2:4600/-1.1");
}

}  // namespace
