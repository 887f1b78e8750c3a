// The request (.req) and flow (.clo) files of one address.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "config/activity_log.hpp"
#include "config/configuration.hpp"
#include "front/addresses.hpp"
#include "front/requests.hpp"
#include "outbound/paths.hpp"
#include "runtime/text_file.hpp"

// Holds the address's busy flag while it creates the flow file when asked,
// cleans the request file of repeated lines when asked, and writes every file
// word as a request line, with its log line and its console line. Stops with " Error! Unable to open " or " Error!
// Unable to write " + the request file name when the file cannot take them.
void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const Requests& requests,
                   const Settings& settings, ActivityLog& log, TextFile& console);

// A file word as a request line: the first "!!" becomes " !".
BoundedString RequestText(BoundedString word);

// Every request line of the request list, in order: the words of each line,
// each as RequestText makes it.
std::vector<std::string> RequestTexts(const Requests& requests);

// The lines a request file holds: the text as read, and a view of each line.
// The set holds views into the text, so it is not copied.
struct RequestFileLines {
    RequestFileLines() = default;
    RequestFileLines(const RequestFileLines&) = delete;
    RequestFileLines& operator=(const RequestFileLines&) = delete;

    bool Holds(std::string_view line) const { return present.count(line) != 0; }

    std::string text;
    std::unordered_set<std::string_view> present;
};

// Gathers the lines the file holds and removes every line that repeats an
// earlier one, keeping order and every other line whole. A file without
// repeats is left as it was, and so is one that cannot be read to its end or
// holds text after a ^Z.
void CleanRequestFile(const OutboundTarget& target, RequestFileLines& lines);
