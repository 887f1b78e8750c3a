// Reading text: line ends and ^Z, byte-order marks and UTF-8 without one,
// long lines, and a failure to read.
#include "runtime/text_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scratch.hpp"

namespace {

using Lines = std::vector<std::string>;

class TextReaderTest : public ::testing::Test {
protected:
    // The lines as the configuration and list files are read, after
    // "(UTF-8)" for a text read as UTF-8; "(UTF-16)" for a text that begins
    // with a UTF-16 byte-order mark.
    Lines ReadLines(std::string_view bytes) {
        dir.Write("in.txt", bytes);
        TextReader file(dir.At("in.txt"));
        TextReader::Encoding encoding = TextReader::Encoding::Bytes;
        EXPECT_EQ(file.Open(), 0);
        EXPECT_EQ(file.DecideEncoding(encoding), 0);
        if (encoding == TextReader::Encoding::Utf16) return {"(UTF-16)"};
        Lines lines;
        if (encoding == TextReader::Encoding::Utf8) lines.push_back("(UTF-8)");
        for (bool end = false; lines.size() < 10;) {
            BoundedString line;
            EXPECT_EQ(file.ReadLine(line, end), 0);
            if (end) break;
            lines.push_back(line.Str());
        }
        return lines;
    }

    ScratchDir dir;
};

TEST_F(TextReaderTest, LineEndsEndMarkAndEncodings) {
    const std::string a127(127, 'a');
    const std::string lookahead = "ф" + std::string(TextReader::kEncodingLookahead - 3, 'a');
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
        {"\xEF\xBB\xBF" "a\r\nb", {"(UTF-8)", "a", "b"}},
        {"\xEF\xBB\xBF", {"(UTF-8)"}},
        {"\xEF\xBBx", {"\xEF\xBBx"}},
        {"a\xEF\xBB\xBF", {"(UTF-8)", "a\xEF\xBB\xBF"}},
        {"\xFF\xFE" "a", {"(UTF-16)"}},
        {"\xFE\xFF", {"(UTF-16)"}},
        // Without a mark all of the text up to its ^Z decides, at most its
        // lookahead of a longer one (a letter cut where that ends).
        {"a\r\nпрог", {"(UTF-8)", "a", "прог"}},
        {"a\r\nпрог\r\n\xEF\xF0", {"a", "прог", "\xEF\xF0"}},
        {"прог\x1A\xFF", {"(UTF-8)", "прог"}},
        {lookahead + "ф\xFF", {"(UTF-8)", lookahead.substr(0, 255)}},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadLines(c.bytes), c.lines) << "'" << c.bytes.substr(0, 30) << "'";
}

// Without a mark, UTF-8 is told from the bytes of a single-byte code page by
// whether the text is well-formed UTF-8 holding a character beyond ASCII.
TEST(HoldsUtf8Text, WellFormedAndBeyondAscii) {
    const std::pair<std::string, bool> cases[] = {
        {"прог.zip\r\nfür.zip € \xF0\x9F\x93\x81", true},  // two, three and four bytes a character
        {"a.zip\r\nb.zip", false},                              // ASCII only: nothing to convert
        {"\xEF\xF0\xEE\xE3.zip \xC8\xD1\xD5", false},            // прог.zip ИСХ in 1251
        {"Protokoll_f\xFCr.log caf\xE9 \xC2\xA9", false},         // 1252, with one pair that looks like UTF-8
        {"caf\xC3", false},                                       // cut inside a character
        {"\xC0\xAF", false},                                      // "/" in an overlong form
        {"\xE0\x80\xAF \xF0\x80\x80\xAF", false},                 // the same, three and four bytes long
        {"\xED\xA0\x80", false},                                  // a surrogate
        {"\xF4\x90\x80\x80", false},                              // above U+10FFFF
    };
    for (const auto& [bytes, utf8] : cases) EXPECT_EQ(HoldsUtf8Text(bytes), utf8) << "'" << bytes << "'";
}

TEST_F(TextReaderTest, LongLines) {
    const std::string long300(300, 'x'), long1000(1000, 'y');
    EXPECT_EQ(ReadLines(long300 + "\r\nnext\r\n"), (Lines{long300.substr(0, 255), "next"}));

    dir.Write("in.txt", long1000 + "\r\nnext");
    TextReader file(dir.At("in.txt"));
    ASSERT_EQ(file.Open(), 0);
    std::string whole = "kept:", next;
    bool end = false;
    EXPECT_EQ(file.ReadFullLine(whole, std::string::npos, end), 0);
    EXPECT_EQ(whole, "kept:" + long1000);
    EXPECT_EQ(file.ReadFullLine(next, 2, end), 0);  // at most two characters of it; the rest is skipped
    EXPECT_EQ(next, "ne");
    EXPECT_EQ(file.ReadFullLine(next, 2, end), 0);
    EXPECT_TRUE(end);
}

// A file that cannot be opened, or read, says so.
TEST_F(TextReaderTest, AFailureIsReturned) {
    dir.MakeDir("folder");
    TextReader missing(dir.At("missing.txt")), folder(dir.At("folder"));
    EXPECT_NE(missing.Open(), 0);
    EXPECT_NE(folder.Open(), 0);
    BoundedString line;
    bool end = false;
    EXPECT_NE(missing.ReadLine(line, end), 0);
}

}  // namespace
