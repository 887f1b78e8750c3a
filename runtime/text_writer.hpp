// Writing a text file, opened for the writer through a held folder: whole
// lines, each in one write that reaches the file whole or not at all. Each
// operation returns 0 or the error that stopped it.
#pragma once

#include <cstdint>
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

    bool IsOpen() const { return handle_ != platform::kNoHandle; }

    // An open file, now this writer's to write and close: written from where
    // it stands (a new file: its start).
    void Take(platform::Handle handle, Writers writers = Writers::One);
    // Writing goes on at the end of the file: ^Z bytes that end it are cut
    // away, and text that does not end in a line end gets one before the
    // first new line.
    [[nodiscard]] int ToEnd();
    // The handle, no longer the writer's: what was written stays.
    platform::Handle Release();
    [[nodiscard]] int Close();

    // One write each. A file that this run alone writes never keeps part of
    // a write: a failed one is cut off again, so the file holds its old bytes
    // plus whole writes.
    [[nodiscard]] int Write(std::string_view text);
    [[nodiscard]] int WriteLine(std::string_view text);

private:
    [[nodiscard]] int Put(std::string_view bytes);

    platform::Handle handle_ = platform::kNoHandle;
    Writers writers_ = Writers::One;
    std::int64_t end_ = 0;       // where the whole writes end, for a file this run alone writes
    bool lineEndFirst_ = false;  // appended text must begin on a line of its own
};
