// Text files with the pending-error model: a failure does not stop the run, it
// leaves the pending I/O error set, and while one is pending every read and
// write does nothing and the end-of-file test answers true.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/bounded.hpp"
#include "runtime/platform.hpp"

// Who may add to a file while it is open for writing: this run alone (a
// request file, guarded by its busy flag), or other runs too (the log).
enum class Writers { One, Many };

// Whether a name is one CreateTemporaryBeside gives a copy of `file` (a name
// without folder): its stem (up to the first "."), "." and the process id,
// "-" and a number when that was taken, and ".tmp", in any letter case.
bool IsTemporaryCopyOf(std::string_view name, std::string_view file);

class TextFile {
public:
    static constexpr int kReadSize = 64 * 1024;  // what one read asks for

    TextFile() = default;
    explicit TextFile(platform::Path name) { Bind(name); }
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    ~TextFile();  // lets the handle go

    // Binding an open file drops its open state without closing it.
    void Bind(platform::Path name);
    const std::string& Name() const { return name_; }
    platform::Path Where() const { return {name_, shared_}; }  // the name, and where others may plant names in it
    bool IsOpen() const { return state_ != State::Closed; }

    void OpenRead();  // an existing file; the empty name is standard input
    void Create();    // created or emptied; the empty name is standard output
    // Created, and only if it does not exist yet; never empties one.
    void CreateNew(Writers writers = Writers::One);
    // An existing file, written at its end; ^Z bytes that end it are cut away.
    void OpenAppend(Writers writers = Writers::One);
    // A new file beside `path`, under a name of this process's own
    // (IsTemporaryCopyOf); Name() tells which.
    void CreateTemporaryBeside(platform::Path path);
    void Close();  // closing a closed file is an error
    // Closes a file that was read and tells whether it was read to its end
    // without a failure. Leaves no I/O error pending: the text is in hand.
    bool CloseAfterReading();

    // Right after OpenRead: skips a UTF-8 byte-order mark (EF BB BF), after
    // which every line read is turned into the bytes the program takes names
    // in (platform::AnsiFromUtf8); says whether the text begins with a UTF-16
    // one (FF FE or FE FF), which no line of single-byte text can be read from.
    enum class Encoding { Bytes, Utf8, Utf16 };
    Encoding TakeByteOrderMark();
    BoundedString ReadLine();    // the first 255 characters; the rest of the line is skipped
    // The last line read held a character the ANSI code page cannot hold.
    bool LineLostCharacters() const { return lineLost_; }
    // Appends the whole line, however long, up to `most` characters of it;
    // the rest of a longer line is skipped.
    void ReadFullLine(std::string& into, std::size_t most = std::string::npos);
    // The size of a file open for reading, which is read from its start
    // again; -1 when it cannot be told (standard input).
    std::int64_t Size();
    bool AtEnd();
    // At a ^Z: whether anything but more ^Z follows it. Reads past it.
    bool TextAfterEndMark();

    // One write each, passed on at once. A disk file that this run alone
    // writes never keeps part of a write: a failed one is cut off again, so
    // the file holds its old bytes plus whole writes. Standard output shows a
    // statement by its origin (platform::ConsoleWrite): only the program's own
    // non-ASCII texts need TextOrigin::Own.
    void Write(std::string_view text, platform::TextOrigin origin = platform::TextOrigin::User);
    void WriteLine(std::string_view text = {}, platform::TextOrigin origin = platform::TextOrigin::User);

    // Marks the process's standard output: its write failures are not pending
    // errors, so a console that went away never costs a file write.
    void MarkAsConsole() { console_ = true; }

private:
    enum class State { Closed, Reading, Writing };

    bool Attach(int error, platform::Handle handle, bool owned, State state);
    void CutEndMarks(Writers writers);
    void Put(std::string_view bytes, platform::TextOrigin origin);
    void Fail(int error);
    int Peek();
    void ReadLineUpTo(std::size_t limit, std::string& line);

    std::string name_;
    std::size_t shared_ = platform::Path::kNothingShared;
    State state_ = State::Closed;
    platform::Handle handle_ = platform::kNoHandle;
    bool owned_ = false;
    bool console_ = false;
    bool cutBack_ = false;       // a failed write is cut off again
    std::int64_t end_ = 0;       // where the whole writes end, while cutBack_
    bool lineEndFirst_ = false;  // appended text must begin on a line of its own
    bool skipLineFeed_ = false;  // a LF right after a CR belongs to that line end
    std::vector<char> input_;    // reading
    int inputUsed_ = 0;          // bytes in the read buffer
    int next_ = 0;               // the next byte to read
    bool inputEnded_ = false;    // a disk file read to its end
    bool fromUtf8_ = false;      // the text began with a UTF-8 mark
    bool lineLost_ = false;      // the last line read held a character the code page cannot hold
};
