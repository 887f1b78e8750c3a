// Reading text a line at a time: CR, CR LF or LF ends a line, ^Z ends the
// text. A failure leaves the pending I/O error; while one is pending, reading
// gives nothing and the end-of-file test answers true.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/bounded.hpp"
#include "runtime/platform.hpp"

class TextReader {
public:
    static constexpr int kReadSize = 64 * 1024;  // what one read asks for

    // A file of the sysop's by its path; the empty name is standard input.
    explicit TextReader(std::string_view name = {}) : name_(name) {}
    // A file open already, read from where it stands; the reader never closes it.
    explicit TextReader(platform::Handle open) : handle_(open), open_(true), borrowed_(true) {}
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    ~TextReader();  // lets the handle go

    const std::string& Name() const { return name_; }

    void Open();  // an existing file, for reading
    // Closes the file and tells whether it was read to its end without a
    // failure. Leaves no I/O error pending: the text is in hand.
    bool Close();

    // Right after Open: skips a UTF-8 byte-order mark (EF BB BF), after which
    // every line read is turned into the bytes the program takes names in
    // (platform::AnsiFromUtf8); says whether the text begins with a UTF-16
    // one (FF FE or FE FF), which no line of single-byte text can be read from.
    enum class Encoding { Bytes, Utf8, Utf16 };
    Encoding TakeByteOrderMark();
    BoundedString ReadLine();  // the first 255 characters; the rest of the line is skipped
    // The last line read held a character the ANSI code page cannot hold.
    bool LineLostCharacters() const { return lineLost_; }
    // Appends the whole line, however long, up to `most` characters of it;
    // the rest of a longer line is skipped.
    void ReadFullLine(std::string& into, std::size_t most = std::string::npos);
    // Right after Open: the size of the file; -1 where none can be told
    // (standard input, a pipe).
    std::int64_t Size();
    // How many bytes the reading has taken from the file.
    std::int64_t Taken() const { return taken_; }
    bool AtEnd();
    // At a ^Z: whether anything but more ^Z follows it. Reads past it.
    bool TextAfterEndMark();

private:
    int Peek();
    void ReadLineUpTo(std::size_t limit, std::string& line);

    std::string name_;
    platform::Handle handle_ = platform::kNoHandle;
    bool open_ = false;
    bool borrowed_ = false;       // opened by another, who closes it
    bool skipLineFeed_ = false;   // a LF right after a CR belongs to that line end
    bool fromUtf8_ = false;       // the text began with a UTF-8 mark
    bool lineLost_ = false;
    std::vector<char> input_;     // the read buffer
    int inputUsed_ = 0;           // bytes in it
    int next_ = 0;                // the next byte to read
    bool inputEnded_ = false;     // a disk file read to its end
    std::int64_t taken_ = 0;      // bytes read from the file
};
