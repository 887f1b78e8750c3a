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
#include "runtime/file_system.hpp"
#include "runtime/standard_files.hpp"
#include "runtime/text_writer.hpp"

// What every address gets, the same for the whole run.
struct RequestJob {
    std::vector<std::string> Lines;  // the request lines, in order (CheckRequestList)
    bool CheckDupes = false;
    bool CreateClo = false;
    ActivityLog& Log;
    const Console& Screen;  // where each request is shown
};

// Holds the address's busy flag while it cleans the request file of repeated
// lines when asked, opens it for adding (or creates it), and writes every
// request line, with its log line and its console line; the flow file, when
// asked for, once the request file holds a request. Stops with " Error!
// Unable to open " or " Error! Unable to write " + the request file's name
// when the file cannot take them; a request file it made and could not write
// a line to is removed again.
void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const RequestJob& job);

// The cleaning of a request file, open as `file` (for a link the sysop made,
// the file it leads to), in two steps: its lines are read, then a copy
// without the lines that repeat an earlier one, in order and every other line
// whole, takes its place, with whatever another program added to the file
// meanwhile; a file without repeats, or not read whole, is left as it is.
// Afterwards `file` is the request file as it now is. Returns the lines of
// `wanted` the file holds. Stops with " Error! Not enough memory to read " or
// " Error! Unable to write " + `shown`.
std::unordered_set<std::string> CleanRequestFile(HeldFile& file, std::string_view shown,
                                                 const std::vector<std::string>& wanted);

// The name of the cleaning's copy of a request file: the file's own name with
// its last letter turned into "~" ("_" where it is one): it tells which file
// it copies, is the same for every run, and is no longer than the name.
std::string CopyNameOf(std::string_view file);
// Whether a name is one an earlier version gave its copies of `file` in the
// outbound: the stem (up to the first "."), "." and a process id, "-" and a
// number when that was taken, and ".tmp", in any letter case.
bool IsOldCopyOf(std::string_view name, std::string_view file);
