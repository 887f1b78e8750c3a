// Request lines made of file words, the repeat-cleaning of a request file,
// and the log line of a request.
#include "outbound/request_files.hpp"

#include <gtest/gtest.h>

#include "outbound/log.hpp"
#include "runtime/io_error.hpp"
#include "support/scratch.hpp"

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

// A file with repeats loses them, every line ended by CR LF; one with text
// after a ^Z is left whole: a mailer that reads to the end takes that text for
// requests too.
TEST(CleanRequestFile, RemovesRepeatsUnlessTextFollowsAnEndMark) {
    const ScratchDir dir;
    OutboundTarget target;
    target.RequestFile = dir.At("r.req");
    for (const auto& [before, after] : std::vector<std::pair<std::string, std::string>>{
             {"a\r\nb\na\r\nc", "a\r\nb\r\nc\r\n"}, {"a\r\na\r\n\x1a" "b\r\n", "a\r\na\r\n\x1a" "b\r\n"}}) {
        dir.Write("r.req", before);
        RequestFileLines lines;
        CleanRequestFile(target, lines);
        EXPECT_EQ(TakeIoError(), 0);
        EXPECT_EQ(dir.Read("r.req"), after);
    }
}

TEST(LogLine, DayMonthAndTimeZeroPadded) {
    EXPECT_EQ(FormatLogLine({2026, 12, 7, 1}, {1, 2, 3, 0}, "a.zip", "2:4600/36.0"), "07/12 01:02:03 a.zip 2:4600/36.0");
    EXPECT_EQ(FormatLogLine({2026, 1, 31, 6}, {23, 59, 58, 99}, "b !pw", "3:45/6.1"), "31/01 23:59:58 b !pw 3:45/6.1");
}

}  // namespace
