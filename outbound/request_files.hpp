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

// The cleaning of an address's request file (for a link the sysop made, the
// file it leads to), in two steps: its lines are read, then a copy without
// the lines that repeat an earlier one, in order and every other line whole,
// takes its place; a file without repeats, or not read whole, is left as it
// is. Leftover copies of killed runs are removed first. Returns the lines of
// `wanted` the file holds. Stops with " Error! Not enough memory to read " or
// " Error! Unable to write " + the request file's name.
std::unordered_set<std::string> CleanRequestFile(const OutboundTarget& target, const std::vector<std::string>& wanted);
