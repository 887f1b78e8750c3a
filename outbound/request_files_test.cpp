// The repeat-cleaning of a request file.
#include "outbound/request_files.hpp"

#include <gtest/gtest.h>

#include "runtime/errors.hpp"
#include "support/scratch.hpp"

namespace {

// A file with repeats loses them, every line ended by CR LF; one with text
// after a ^Z is left whole: a mailer that reads to the end takes that text for
// requests too. Of the request lines, those it holds are what the duplicate
// check skips.
TEST(CleanRequestFile, RemovesRepeatsUnlessTextFollowsAnEndMark) {
    const ScratchDir dir;
    OutboundTarget target;
    target.RequestFile = dir.At("r.req");
    struct Case { std::string before, after; std::unordered_set<std::string> lines; };
    for (const Case& c : {Case{"a\r\nb\na\r\nc", "a\r\nb\r\nc\r\n", {"a", "c"}},
                          Case{"a\r\na\r\n\x1a" "b\r\n", "a\r\na\r\n\x1a" "b\r\n", {"a"}}}) {
        dir.Write("r.req", c.before);
        EXPECT_EQ(CleanRequestFile(target, {"a", "c", "A", "x"}), c.lines);
        EXPECT_EQ(TakeIoError(), 0);
        EXPECT_EQ(dir.Read("r.req"), c.after);
    }
}

}  // namespace
