// Reading text a line at a time: CR, CR LF or LF ends a line, ^Z ends the
// text. Each reading operation returns 0 or the error that stopped it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/bounded.hpp"
#include "platform/platform.hpp"

class TextReader {
public:
    static constexpr int kReadSize = 64 * 1024;  // what one read asks for

    // Standard input, open from the start of the run.
    TextReader() : handle_(platform::StandardInputHandle()), open_(true) {}
    // A file of the sysop's by its path, to be opened.
    explicit TextReader(std::string_view name) : name_(name) {}
    // A file open already, read from where it stands; the reader never closes it.
    explicit TextReader(platform::Handle open) : handle_(open), open_(true), borrowed_(true) {}
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    ~TextReader();  // lets the handle go

    [[nodiscard]] int Open();  // the file, which must exist, for reading
    // A file only read loses nothing when its closing fails.
    void Close();

    // Right after Open: how the text is encoded. UTF-8 when it begins with
    // the UTF-8 byte-order mark (EF BB BF, skipped), or when, without a mark,
    // its bytes up to the first ^Z are well-formed UTF-8 holding a character
    // beyond ASCII (HoldsUtf8Text; a text longer than kEncodingLookahead is
    // judged by that much of it); every line read from UTF-8 text is turned
    // into the bytes the program takes names in (platform::AnsiFromUtf8).
    // UTF-16 when it begins with that mark (FF FE or FE FF), which no line of
    // single-byte text can be read from. Otherwise bytes, read as they are.
    enum class Encoding { Bytes, Utf8, Utf16 };
    static constexpr int kEncodingLookahead = 1024 * 1024;
    [[nodiscard]] int DecideEncoding(Encoding& encoding);
    // The next line's first 255 characters, the rest of it skipped; `end`
    // tells, with nothing read, that the text is over (its end, or a ^Z).
    [[nodiscard]] int ReadLine(BoundedString& line, bool& end);
    // The last line read held a character the ANSI code page cannot hold.
    bool LineLostCharacters() const { return lineLost_; }
    // Appends the whole next line, however long, up to `most` characters of
    // it; the rest of a longer line is skipped.
    [[nodiscard]] int ReadFullLine(std::string& into, std::size_t most, bool& end);
    // Right after Open: the size of the file; -1 where none can be told
    // (standard input, a pipe).
    [[nodiscard]] int Size(std::int64_t& size);
    // How many bytes the reading has taken from the file.
    std::int64_t Taken() const { return taken_; }
    // At the end of the text: whether it ended at a ^Z that anything but more
    // ^Z follows. Reads past it.
    [[nodiscard]] int TextAfterEndMark(bool& after);

private:
    // The next byte, not taken; -1 at the end of the file.
    [[nodiscard]] int Peek(int& c);
    // Reads on into the buffer until it holds `size` bytes, a ^Z or the end
    // of the file.
    [[nodiscard]] int ReadAhead(int size);
    [[nodiscard]] int HoldsUtf8Ahead(bool& utf8);
    // Appends at most `limit` characters of the next line to `line`.
    [[nodiscard]] int ReadLineUpTo(std::size_t limit, std::string& line, bool& end);

    std::string name_;
    platform::Handle handle_ = platform::kNoHandle;
    bool open_ = false;
    bool borrowed_ = false;       // opened by another, who closes it
    bool skipLineFeed_ = false;   // a LF right after a CR belongs to that line end
    bool fromUtf8_ = false;       // the text is UTF-8
    bool lineLost_ = false;
    std::vector<char> input_;     // the read buffer
    int inputUsed_ = 0;           // bytes in it
    int next_ = 0;                // the next byte to read
    bool inputEnded_ = false;     // a disk file read to its end
    std::int64_t taken_ = 0;      // bytes read from the file
};

// Whether the bytes are well-formed UTF-8 (no overlong form, no surrogate,
// nothing above U+10FFFF, no character cut short) and hold at least one
// character beyond ASCII. Text in a single-byte ANSI code page such as 1251
// or 1252 practically never is: its letters beyond ASCII would have to come
// in exactly the lead-and-continuation patterns UTF-8 prescribes.
bool HoldsUtf8Text(std::string_view bytes);
