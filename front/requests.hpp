// The request list: file names from the command line, "@" list files or the
// prompt, and the address text that names where to request them.
#pragma once

#include <string_view>
#include <vector>

#include "config/configuration.hpp"
#include "runtime/bounded.hpp"
#include "runtime/command_line.hpp"
#include "runtime/text_file.hpp"

inline constexpr int kRequestLineCapacity = 750;
inline constexpr int kLineBreakLength = 220;  // a longer line takes no further word

struct Requests {
    std::vector<BoundedString> RequestList{1};  // RequestLineCount lines, file words between blanks
    BoundedString NodeString;                   // the address text, parsed later

    int RequestLineCount() const { return static_cast<int>(RequestList.size()); }
};

// Sorts the items into file words and the address text, or asks for both at
// the prompts when the only item is "/".
Requests GatherRequests(const CommandLine& args, const Settings& settings, TextFile& input, TextFile& console);

// Adds the first word of every line of a list file to the request list.
void AppendListFile(std::string_view name, Requests& requests);

// Every request line must hold a file name, and no character a file name cannot.
void CheckRequestList(const Requests& requests);

// An item that holds "/" or begins with "." starts the addresses; one that
// begins with "@" never does: it names a list file, in any folder.
bool IsAddressItem(std::string_view item);

// The position of the first address item from `first` on; one past the last
// item when there is none.
int FirstAddressItem(const CommandLine& args, int first);
