// Writing text: whole lines, each in one write that reaches the file whole or
// not at all. A writer writes a file opened for it (through a held folder)
// or standard output. It keeps its own error: a failed write leaves it
// pending in that writer, whose later writes then do nothing until TakeError
// fetches it; no other file is held up by it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.hpp"

// Who may add to a file while it is open for writing: this run alone (a
// request file, guarded by its busy flag), or other runs too (the log).
enum class Writers { One, Many };

class TextWriter {
public:
    TextWriter() = default;
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    ~TextWriter();  // lets the handle go

    bool IsOpen() const { return open_; }

    void OpenStandardOutput();  // the process's standard output, which the writer never closes
    // An open file, now this writer's to write and close: written from where
    // it stands (a new file: its start).
    void Take(platform::Handle handle, Writers writers = Writers::One);
    // Writing goes on at the end of the file: ^Z bytes that end it are cut
    // away, and text that does not end in a line end gets one before the
    // first new line.
    void ToEnd();
    // The handle, no longer the writer's: what was written stays.
    platform::Handle Release();
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
    void Put(std::string_view bytes, platform::TextOrigin origin);
    void Fail(int error);

    bool open_ = false;
    bool standard_ = false;  // the process's standard output: shown by its origin, never closed
    platform::Handle handle_ = platform::kNoHandle;
    Writers writers_ = Writers::One;
    int error_ = 0;
    bool console_ = false;
    std::int64_t end_ = 0;       // where the whole writes end, for a file this run alone writes
    bool lineEndFirst_ = false;  // appended text must begin on a line of its own
};
