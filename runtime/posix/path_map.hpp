// How the program's paths are found on a POSIX file system. They come in the
// program's own form: "\" separators (Windows habits; "/" separates too) and
// names in any letter case (the configuration is upper-cased). A component is
// looked for in its all-lower-case spelling first (what tolvex creates and a
// mailer reads), then as given, then as the first entry, in byte order, that
// matches it regardless of ASCII letter case; a component that matches
// nothing stays as given, except that the last one of something created is
// made lower case.
//
// A run asks for the same folders again and again, so what it learns of a
// folder's entries is kept, in one cache by folder: the entries found, or all
// of them once the folder had to be listed. A folder of a path is found from
// what is known; the last component is looked for anew unless the folder was
// listed. What the run itself makes and removes is recorded as it happens
// (Record); what other programs do meanwhile is seen only where a name is
// looked for anew.
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

// What the run did at a mapped path: made a file, made a folder (then known
// to be empty), or removed a name. Every operation that makes or removes a
// name records it so, with its outcome: an `error` other than 0 records
// nothing, except that a name found there already (EEXIST) is there.
enum class Change { MadeFile, MadeFolder, Removed };
int Record(int error, const std::string& mapped, Change change);

// The folder that holds a mapped path.
std::string FolderOf(const std::string& mapped);

char LowerChar(char c);

}  // namespace path_map
