// Directory and whole-file operations. Their failures become the pending I/O
// error, except for the busy flag, whose outcome the caller needs at once.
#pragma once

#include <string>
#include <string_view>

#include "runtime/platform.hpp"

std::string CurrentDirectory();
void ChangeDirectory(std::string_view path);  // the empty path succeeds without a call
void MakeDirectory(std::string_view path);    // one level; an existing one is a failure too
void RemoveFile(std::string_view path);
// One step, replacing the existing `to` (the file a link names, for a link):
// `from` takes its permissions, owner and group, and reaches the disk first.
void PutInPlace(std::string_view from, std::string_view to);

enum class FlagResult { Created, Exists, Failed };

// Creates a file that must not exist yet, holding `content`; never overwrites.
FlagResult CreateFlagFile(std::string_view path, std::string_view content);

// Opens an existing file and closes it again; a failure sets the pending I/O
// error. The empty name opens nothing.
void ProbeOpenClose(std::string_view name, platform::Access access);
