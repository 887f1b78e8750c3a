// Request lines made of file words.
#include "outbound/request_files.hpp"

#include <gtest/gtest.h>

namespace {

TEST(RequestText, FirstDoubleExclamationBecomesBlankAndOne) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"pntlist.zip", "pntlist.zip"},  {"secret.zip!!pw", "secret.zip !pw"}, {"a!!b!!c", "a !b!!c"},
        {"!!pw", " !pw"},                {"a!!!b", "a !!b"},                   {"a!b", "a!b"},
        {"a!!", "a !"},
    };
    for (const auto& [word, text] : cases) EXPECT_EQ(RequestText(BoundedString(word)), text) << word;
    // The inserted blank may push the last character out of 255.
    EXPECT_EQ(RequestText(BoundedString(std::string(249, 'n') + "!!pwxy")), std::string(249, 'n') + " !pwx");
}

}  // namespace
