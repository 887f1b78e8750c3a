// Text files: line ends and ^Z on reading, the append cut, whole writes and
// the pending I/O error that silences reads and writes.
#include "runtime/text_file.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <string>
#include <vector>

#include "runtime/io_error.hpp"
#include "support/scratch.hpp"

namespace {

using Lines = std::vector<std::string>;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override { TakeIoError(); }
    void TearDown() override { EXPECT_EQ(TakeIoError(), 0); }

    // The lines as the configuration and list files are read; "(UTF-16)"
    // for a text that begins with a UTF-16 byte-order mark.
    Lines ReadLines(std::string_view bytes) {
        dir.Write("in.txt", bytes);
        TextFile file(dir.At("in.txt"));
        file.OpenRead();
        const bool utf16 = file.TakeByteOrderMark() == TextFile::Encoding::Utf16;
        Lines lines;
        while (!utf16 && !file.AtEnd() && lines.size() < 10) lines.push_back(file.ReadLine().Str());
        file.Close();
        return utf16 ? Lines{"(UTF-16)"} : lines;
    }

    // Appends the lines to a file holding `bytes` and returns what is on disk.
    std::string Append(std::string_view bytes, std::vector<std::string> lines) {
        dir.Write("out.req", bytes);
        TextFile file(dir.At("out.req"));
        file.OpenAppend();
        for (const std::string& line : lines) file.WriteLine(line);
        file.Close();
        return dir.Read("out.req");
    }

    long DiskSize(std::string_view name) {
        struct stat info {};
        return stat(dir.At(name).c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
    }

    ScratchDir dir;
};

TEST_F(TextFileTest, LineEndsEndMarkAndByteOrderMarks) {
    const std::string a127(127, 'a');
    struct Case { std::string bytes; Lines lines; };
    const Case cases[] = {
        {"one\r\ntwo\rthree", {"one", "two", "three"}},
        {"ab\ncd", {"ab", "cd"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"x\r\r\ny\n\rz", {"x", "", "y", "", "z"}},
        {a127 + "\r\nb", {a127, "b"}},  // the LF of the line end opens the next buffer
        {"ab\r\ncd\x1A" "ef\r\ngh", {"ab", "cd"}},
        {"ab\r\x1A\r\ncd", {"ab"}},
        {"\x1A" "ab", {}},
        {"", {}},
        // Byte-order marks: UTF-8's skipped at the very start only, UTF-16's told.
        {"\xEF\xBB\xBF" "a\r\nb", {"a", "b"}},
        {"\xEF\xBB\xBF", {}},
        {"\xEF\xBBx", {"\xEF\xBBx"}},
        {"a\xEF\xBB\xBF", {"a\xEF\xBB\xBF"}},
        {"\xFF\xFE" "a", {"(UTF-16)"}},
        {"\xFE\xFF", {"(UTF-16)"}},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadLines(c.bytes), c.lines) << "'" << c.bytes << "'";
}

TEST_F(TextFileTest, LongLines) {
    const std::string long300(300, 'x'), long1000(1000, 'y');
    EXPECT_EQ(ReadLines(long300 + "\r\nnext\r\n"), (Lines{long300.substr(0, 255), "next"}));

    dir.Write("in.txt", long1000 + "\r\nnext");
    TextFile file(dir.At("in.txt"));
    file.OpenRead();
    std::string whole = "kept:";
    file.ReadFullLine(whole);
    EXPECT_EQ(whole, "kept:" + long1000);
    std::string next;
    file.ReadFullLine(next);
    EXPECT_EQ(next, "next");
    file.Close();
}

TEST_F(TextFileTest, AppendCutsOnlyTheEndMarksThatEndTheFile) {
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

TEST_F(TextFileTest, AppendStartsOnANewLine) {
    EXPECT_EQ(Append("abc", {"new", "two"}), "abc\r\nnew\r\ntwo\r\n");
    EXPECT_EQ(Append("abc", {}), "abc");
    EXPECT_EQ(Append("abc\r\n", {"new"}), "abc\r\nnew\r\n");
    EXPECT_EQ(Append("abc\r", {"new"}), "abc\rnew\r\n");
    EXPECT_EQ(Append("abc\n", {"new"}), "abc\nnew\r\n");
    EXPECT_EQ(Append("", {"new"}), "new\r\n");

    TextFile missing(dir.At("missing.req"));
    missing.OpenAppend();
    EXPECT_NE(TakeIoError(), 0);
    EXPECT_FALSE(dir.Exists("missing.req"));
}

// A file size limit makes the system take part of a write, as a disk that
// fills up does; the part is cut off again.
TEST_F(TextFileTest, EachWriteReachesTheFileWholeOrNotAtAll) {
    dir.Write("out.req", "old.zip\r\n");
    TextFile file(dir.At("out.req"));
    file.OpenAppend();
    file.WriteLine("a.zip");
    EXPECT_EQ(DiskSize("out.req"), 16);  // at once, not at the close

    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 20;
    setrlimit(RLIMIT_FSIZE, &small);
    file.WriteLine("this line passes the limit");
    const int error = TakeIoError();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(error, 0);
    EXPECT_EQ(dir.Read("out.req"), "old.zip\r\na.zip\r\n");

    file.WriteLine("b.zip");
    file.Close();
    EXPECT_EQ(dir.Read("out.req"), "old.zip\r\na.zip\r\nb.zip\r\n");
}

TEST_F(TextFileTest, PendingErrorSilencesOtherFilesUntilTaken) {
    dir.Write("in.txt", "first\r\nsecond\r\n");
    dir.Write("out.txt", "old");
    TextFile in(dir.At("in.txt")), out(dir.At("out.txt")), missing(dir.At("missing.txt"));
    in.OpenRead();
    out.OpenAppend();

    missing.OpenRead();
    EXPECT_TRUE(IoErrorPending());
    out.Write("lost");
    out.WriteLine("lost");
    EXPECT_TRUE(in.AtEnd());
    EXPECT_TRUE(in.ReadLine().Empty());
    EXPECT_NE(TakeIoError(), 0);

    EXPECT_FALSE(in.AtEnd());
    EXPECT_EQ(in.ReadLine().View(), "first");
    out.WriteLine("kept");
    in.Close();
    out.Close();
    EXPECT_EQ(dir.Read("out.txt"), "old\r\nkept\r\n");  // the silenced write did not use up the line end

    out.Close();
    EXPECT_EQ(TakeIoError(), 103);
    missing.Close();
    EXPECT_EQ(TakeIoError(), 103);
}

}  // namespace
