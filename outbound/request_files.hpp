// The request (.req) and flow (.clo) files of one address, and the cleaning
// of repeated lines.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "input/addresses.hpp"
#include "outbound/paths.hpp"
#include "runtime/activity_log.hpp"
#include "runtime/platform.hpp"
#include "runtime/text_writer.hpp"

// What every address gets, the same for the whole run.
struct RequestJob {
    std::vector<std::string> Lines;  // the request lines, in order (CheckRequestList)
    bool CheckDupes = false;
    bool CreateClo = false;
    ActivityLog& Log;
    TextWriter& Console;
};

// Holds the address's busy flag while it cleans the request file of repeated
// lines when asked, opens it for adding, creates the flow file when asked,
// and writes every request line, with its log line and its console line.
// Stops with " Error! Unable to open " or " Error! Unable to write " + the
// request file's name when the file cannot take them.
void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const RequestJob& job);

// The lines of a request file, as read, and whether it was read whole: to
// its end, without text after a ^Z.
struct RequestFileLines {
    std::vector<std::string> Lines;
    bool Whole = false;
};

// The cleaning's first step. Stops with " Error! Not enough memory to read "
// + `shown` for a file too large to hold.
RequestFileLines ReadRequestFile(platform::Path file, std::string_view shown);

// The second: puts a copy without the lines that repeat an earlier one, in
// order and every other line whole, in the file's place. A file without
// repeats, or not read whole, is left as it is. Stops with " Error! Unable to
// write " + `shown` when the copy cannot take its place.
void RewriteWithoutRepeats(platform::Path file, const RequestFileLines& read, std::string_view shown);

// Both steps for an address's request file (for a link the sysop made, the
// file it leads to), after its leftover copies are removed; the lines it
// holds. Stops, memory failing, with " Error! Not enough memory to read ".
std::unordered_set<std::string> CleanRequestFile(const OutboundTarget& target);
