// Writing text: whole lines, each in one write that reaches the file whole or
// not at all. A writer keeps its own error: a failed open or write leaves it
// pending in that writer, whose later writes then do nothing until TakeError
// fetches it; no other file is held up by it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/platform.hpp"

// Who may add to a file while it is open for writing: this run alone (a
// request file, guarded by its busy flag), or other runs too (the log).
enum class Writers { One, Many };

// Whether a name is one CreateTemporaryBeside gives a copy of `file` (a name
// without folder): its stem (up to the first "."), "." and the process id,
// "-" and a number when that was taken, and ".tmp", in any letter case.
bool IsTemporaryCopyOf(std::string_view name, std::string_view file);

class TextWriter {
public:
    // The empty name is standard output.
    explicit TextWriter(platform::Path name = std::string_view()) { Bind(name); }
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    ~TextWriter();  // lets the handle go

    void Bind(platform::Path name);  // a writer that is open is closed first
    const std::string& Name() const { return name_; }
    platform::Path Where() const { return {name_, shared_}; }  // the name, and where others may plant names in it
    bool IsOpen() const { return open_; }

    void OpenStandardOutput();  // the process's standard output, which the name does not matter to
    // Created, and only if it does not exist yet; never empties one.
    void CreateNew(Writers writers = Writers::One);
    // An existing file, written at its end; ^Z bytes that end it are cut away.
    void OpenAppend(Writers writers = Writers::One);
    // A new file beside `path`, under a name of this process's own
    // (IsTemporaryCopyOf); Name() tells which.
    void CreateTemporaryBeside(platform::Path path);
    void Close();

    // One write each, passed on at once. A file that this run alone writes
    // never keeps part of a write: a failed one is cut off again, so the file
    // holds its old bytes plus whole writes. Standard output shows a
    // statement by its origin (platform::ConsoleWrite): only the program's
    // own non-ASCII texts need TextOrigin::Own.
    void Write(std::string_view text, platform::TextOrigin origin = platform::TextOrigin::User);
    void WriteLine(std::string_view text = {}, platform::TextOrigin origin = platform::TextOrigin::User);

    // The writer's pending error, which is cleared.
    int TakeError();

    // Marks the process's standard output: its failures are kept by nobody,
    // so a console that went away never costs a file write.
    void MarkAsConsole() { console_ = true; }

private:
    void Opened(int error, platform::Handle handle, bool cutBack);
    void CutEndMarks(Writers writers);
    void Put(std::string_view bytes, platform::TextOrigin origin);
    void Fail(int error);

    std::string name_;
    std::size_t shared_ = platform::Path::kNothingShared;
    bool open_ = false;
    platform::Handle handle_ = platform::kNoHandle;
    int error_ = 0;
    bool console_ = false;
    bool cutBack_ = false;       // a failed write is cut off again
    std::int64_t end_ = 0;       // where the whole writes end, while cutBack_
    bool lineEndFirst_ = false;  // appended text must begin on a line of its own
};
