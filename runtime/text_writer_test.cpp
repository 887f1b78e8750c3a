// Writing text: the append cut, whole writes, and a writer's own error.
#include "runtime/text_writer.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <string>
#include <vector>

#include "runtime/errors.hpp"
#include "support/scratch.hpp"

namespace {

// The existing file opened for the writer, written from its start.
bool WriteInto(TextWriter& writer, const std::string& path) {
    platform::Handle handle = platform::kNoHandle;
    if (platform::FileOpen(path, platform::Access::ReadWrite, handle) != 0) return false;
    writer.Take(handle);
    return true;
}

class TextWriterTest : public ::testing::Test {
protected:
    // Appends the lines to a file holding `bytes` and returns what is on disk.
    std::string Append(std::string_view bytes, std::vector<std::string> lines) {
        dir.Write("out.req", bytes);
        TextWriter file;
        EXPECT_TRUE(WriteInto(file, dir.At("out.req")));
        EXPECT_EQ(file.ToEnd(), 0);
        for (const std::string& line : lines) EXPECT_EQ(file.WriteLine(line), 0);
        EXPECT_EQ(file.Close(), 0);
        return dir.Read("out.req");
    }

    long DiskSize(std::string_view name) {
        struct stat info {};
        return stat(dir.At(name).c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
    }

    ScratchDir dir;
};

TEST_F(TextWriterTest, AppendCutsOnlyTheEndMarksThatEndTheFile) {
    const std::string head = std::string(50, 'h') + "\r\n";
    EXPECT_EQ(Append(head + "\x1A", {"new"}), head + "new\r\n");
    EXPECT_EQ(Append(head + std::string(300, '\x1A'), {"new"}), head + "new\r\n");
    EXPECT_EQ(Append("o\x1A\x1A", {"new"}), "o\r\nnew\r\n");
    EXPECT_EQ(Append(std::string(3, '\x1A'), {"new"}), "new\r\n");
    // Text after a ^Z is kept, however near the end it lies.
    const std::string hidden = "a.zip\r\n\x1Ahidden.zip\r\na.zip\r\n";
    EXPECT_EQ(Append(hidden, {"c.zip"}), hidden + "c.zip\r\n");
    EXPECT_EQ(Append(head + "\x1At\x1A", {"new"}), head + "\x1At\r\nnew\r\n");
}

TEST_F(TextWriterTest, AppendStartsOnANewLine) {
    EXPECT_EQ(Append("abc", {"new", "two"}), "abc\r\nnew\r\ntwo\r\n");
    EXPECT_EQ(Append("abc", {}), "abc");
    EXPECT_EQ(Append("abc\r\n", {"new"}), "abc\r\nnew\r\n");
    EXPECT_EQ(Append("abc\r", {"new"}), "abc\rnew\r\n");
    EXPECT_EQ(Append("abc\n", {"new"}), "abc\nnew\r\n");
    EXPECT_EQ(Append("", {"new"}), "new\r\n");
}

// A file size limit makes the system take part of a write, as a disk that
// fills up does; the part is cut off again.
TEST_F(TextWriterTest, EachWriteReachesTheFileWholeOrNotAtAll) {
    dir.Write("out.req", "old.zip\r\n");
    TextWriter file;
    ASSERT_TRUE(WriteInto(file, dir.At("out.req")));
    ASSERT_EQ(file.ToEnd(), 0);
    ASSERT_EQ(file.WriteLine("a.zip"), 0);
    EXPECT_EQ(DiskSize("out.req"), 16);  // at once, not at the close

    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 20;
    setrlimit(RLIMIT_FSIZE, &small);
    const int error = file.WriteLine("this line passes the limit");
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(error, 0);
    EXPECT_EQ(dir.Read("out.req"), "old.zip\r\na.zip\r\n");

    EXPECT_EQ(file.WriteLine("b.zip"), 0);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(dir.Read("out.req"), "old.zip\r\na.zip\r\nb.zip\r\n");
    EXPECT_EQ(file.WriteLine("lost"), kFileNotOpen);
}

}  // namespace
