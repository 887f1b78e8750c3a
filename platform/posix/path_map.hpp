// How the program's names are found on a POSIX file system. They come in the
// program's own form: "\" separators (Windows habits; "/" separates too) and
// names in any letter case (the configuration is upper-cased). A name is
// looked for in its all-lower-case spelling first (what tolvex creates and a
// mailer reads), then as given, then as the first entry, in byte order, that
// matches it regardless of ASCII letter case; a name that matches nothing
// stays as given, except that what is created is named in lower case.
//
// A run asks for the same folders again and again, so what it learns of a
// folder's entries is kept, in one cache by folder: the entries found, or all
// of them once the folder had to be listed. The sysop's own paths (the
// configuration, lists, OUTBOUND itself, the log's folder) are found by path;
// names in a folder the run holds open are found through its descriptor.
// What the run itself makes and removes in a held folder is recorded as it
// happens; what other programs do meanwhile is seen only where a name is
// looked for anew.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace path_map {

enum class Purpose { Use, Create };

// The path on the file system: absolute when it begins with a separator,
// else relative to the current folder.
// `found`, when given, tells whether its last component names an entry that
// is there.
std::string MapPath(std::string_view path, Purpose purpose, bool* found = nullptr);

// The entry of the held folder `folder` (a descriptor) that stands for
// `name`, by the same rule; "" when none is there.
std::string FindIn(int folder, std::string_view name);
// Every entry of the held folder, "." and ".." left out; false when it cannot
// be read. What is read is kept.
bool ListIn(int folder, std::vector<std::string>& names);

// What the run did in a held folder: made a file, made a folder, or removed
// a name.
enum class Change { Made, Removed };
void RecordIn(int folder, const std::string& name, Change change);
// A folder the run made: known to be empty.
void KnownEmpty(int folder);
// The descriptor is closed: what was known through it is forgotten.
void Forget(int folder);

char LowerChar(char c);
std::string Lower(std::string_view name);

}  // namespace path_map
