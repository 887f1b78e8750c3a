// Directory and whole-file operations. Their failures become the pending I/O
// error, except for the busy flag, whose outcome the caller needs at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform.hpp"

std::string CurrentDirectory();
void ChangeDirectory(std::string_view path);  // the empty path succeeds without a call
void MakeDirectory(platform::Path path);      // one level; an existing one is a failure too
void RemoveFile(platform::Path path);
// One step, replacing the existing regular file `to` in the same folder:
// `from` takes its permissions, owner and group, and reaches the disk first.
void PutInPlace(platform::Path from, platform::Path to);
// The names in a folder; none when it cannot be read.
std::vector<std::string> FolderEntries(platform::Path folder);

enum class FlagResult { Created, Exists, Failed };

// Creates a file that must not exist yet, holding `content`; never overwrites.
FlagResult CreateFlagFile(platform::Path path, std::string_view content);

// Opens an existing file and closes it again; a failure sets the pending I/O
// error. The empty name opens nothing.
void ProbeOpenClose(platform::Path name, platform::Access access);
