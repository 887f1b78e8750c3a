// The repeat-cleaning of a request file, and the names of its copies.
#include "outbound/request_files.hpp"

#include <gtest/gtest.h>

#include "support/scratch.hpp"

namespace {

// A file with repeats loses them, every line ended by CR LF; one with text
// after a ^Z is left whole: a mailer that reads to the end takes that text for
// requests too. Of the request lines, those it holds are what the duplicate
// check skips. The copy leaves no trace.
TEST(CleanRequestFile, RemovesRepeatsUnlessTextFollowsAnEndMark) {
    const ScratchDir dir;
    HeldFolder folder;
    ASSERT_EQ(folder.Open(dir.Path()), 0);
    struct Case { std::string before, after; std::unordered_set<std::string> lines; };
    for (const Case& c : {Case{"a\r\nb\na\r\nc", "a\r\nb\r\nc\r\n", {"a", "c"}},
                          Case{"a\r\na\r\n\x1a" "b\r\n", "a\r\na\r\n\x1a" "b\r\n", {"a"}}}) {
        dir.Write("r.req", c.before);
        HeldFile file;
        ASSERT_EQ(OpenFile(Place(folder, "r.req"), platform::Access::ReadWrite, file), 0);
        EXPECT_EQ(CleanRequestFile(file, "r.req", {"a", "c", "A", "x"}), c.lines);
        EXPECT_EQ(dir.Read("r.req"), c.after);
        EXPECT_EQ(dir.Tree(), std::vector<std::string>{"r.req"});
    }
}

// The copy's name is fixed for its file and never longer; only the names an
// earlier version gave its copies count as such.
TEST(CleanRequestFile, NamesOfCopies) {
    EXPECT_EQ(CopyNameOf("11f80024.req"), "11f80024.re~");
    EXPECT_EQ(CopyNameOf("wanted"), "wante~");
    EXPECT_EQ(CopyNameOf("odd.re~"), "odd.re_");
    for (const char* name : {"11f80024.4711.tmp", "11F80024.12-3.TMP"}) EXPECT_TRUE(IsOldCopyOf(name, "11f80024.req")) << name;
    for (const char* name : {"11f80025.99.tmp", "11f80024.x.tmp", "11f80024.7.tmp.req", "11f80024.tmp", "11f80024..tmp",
                             "11f80024.12-.tmp", "11f80024.re~"})
        EXPECT_FALSE(IsOldCopyOf(name, "11f80024.req")) << name;
}

}  // namespace
