// The request list: file names from the command line, "@" list files or the
// prompt, and the address text that names where to request them; the check
// of the names, and the request lines they give.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.hpp"
#include "runtime/bounded.hpp"
#include "runtime/text_reader.hpp"
#include "runtime/standard_files.hpp"

inline constexpr int kRequestLineCapacity = 750;
inline constexpr int kLineBreakLength = 220;  // a longer line takes no further word

// Lines of file words between blanks, at most kRequestLineCapacity; the
// first exists from the start, empty.
using RequestList = std::vector<BoundedString>;

// What the items, or the answers at the prompts, give.
struct Items {
    RequestList Requests{1};
    BoundedString NodeString;  // the address text, for ParseNodeString
};

// Sorts the items into file words and the address text, or asks for both at
// the prompts when the only item is "/".
Items GatherRequests(const std::vector<BoundedString>& items, const Settings& settings, TextReader& input,
                     const Console& console);

// Adds the first word of every line of a list file to the request list.
void AppendListFile(std::string_view name, RequestList& requests);

// An item that holds "/" or begins with "." starts the addresses; one that
// begins with "@" never does: it names a list file, in any folder.
bool IsAddressItem(std::string_view item);

// The position of the first address item; the number of items when there is
// none.
std::size_t FirstAddressItem(const std::vector<BoundedString>& items);

// Every request line must hold a file name, and no character a file name
// cannot. Returns what every address's request file gets, in order: the
// words of each line, each as RequestText makes it.
std::vector<std::string> CheckRequestList(const RequestList& requests);

// A file word as a request line: the first "!!" becomes " !".
BoundedString RequestText(BoundedString word);
