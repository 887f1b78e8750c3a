// A text writer on a file of the test's own, opened by path as the tests
// need it (the program opens its files through the folders it holds).
#pragma once

#include <string>

#include "platform/platform.hpp"
#include "runtime/text_writer.hpp"

// Opens the existing file for the writer, written from its start; false when
// it cannot be opened.
inline bool WriteInto(TextWriter& writer, const std::string& path, Writers writers = Writers::One) {
    platform::Handle handle = platform::kNoHandle;
    if (platform::FileOpen(path, writers == Writers::Many ? platform::Access::Append : platform::Access::ReadWrite,
                           handle) != 0)
        return false;
    writer.Take(handle, writers);
    return true;
}
