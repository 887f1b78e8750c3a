// How the program's paths are found on a POSIX file system. They come in the
// program's own form: "\" separators (Windows habits; "/" separates too) and
// names in any letter case (the configuration is upper-cased). A component is
// looked for in its all-lower-case spelling first (what tolvex creates and a
// mailer reads), then as given, then as the first entry, in byte order, that
// matches it regardless of ASCII letter case; a component that matches
// nothing stays as given, except that the last one of something created is
// made lower case.
//
// A run asks for the same folders again and again: each folder component is
// resolved once per run, and a folder whose entries had to be listed answers
// later lookups from that list. What the run itself makes and removes keeps
// both up to date; what other programs do meanwhile is seen only where a
// name is looked for again in its exact spelling.
#pragma once

#include <string>
#include <string_view>

namespace path_map {

enum class Purpose { Use, Create };

// The path on the file system: absolute when it begins with a separator,
// else relative to the current folder, which must not change between the
// lookups of one relative path.
// `found`, when given, tells whether its last component names an entry that
// is there.
std::string MapPath(std::string_view path, Purpose purpose, bool* found = nullptr);

// Where in `mapped`, MapPath's result for `path`, the component begins that
// stands for the first one of `path` to begin at or after `from`; npos when
// none does. (MapPath gives each non-empty component of a path one of its own.)
std::size_t MappedOffset(std::string_view path, std::size_t from, const std::string& mapped);

// What the run made at a mapped path (a file, or a folder, which is then
// known to be empty), and what it removed.
void NoteMade(const std::string& mapped, bool folder);
void NoteRemoved(const std::string& mapped);

// The folder that holds a mapped path.
std::string FolderOf(const std::string& mapped);

char LowerChar(char c);

}  // namespace path_map
