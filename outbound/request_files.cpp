// Writing the request and flow files.
#include "outbound/request_files.hpp"

#include <vector>

#include "config/configuration.hpp"
#include "config/text_helpers.hpp"
#include "outbound/busy_flag.hpp"
#include "front/console.hpp"
#include "front/run_stop.hpp"
#include "runtime/file_system.hpp"
#include "runtime/io_error.hpp"

namespace {

// An existing flow file is left as it is; a failure here changes nothing else.
void TouchFlowFile(const std::string& name) {
    TextFile flow(name);
    if (FileExists(name))
        flow.OpenRead();
    else
        flow.Create();
    if (flow.IsOpen()) flow.Close();
    TakeIoError();
}

std::vector<std::string> WordsOf(const BoundedString& line) {
    std::vector<std::string> words(1);
    for (char c : line.View()) {
        if (c == ' ')
            words.emplace_back();
        else
            words.back().push_back(c);
    }
    return words;
}

}  // namespace

BoundedString RequestText(BoundedString word) {
    const int at = FindText("!!", word.View());
    if (at > 0) {
        InsertText(" ", word, at);
        DeleteText(word, at + 1, 1);
    }
    return word;
}

std::unordered_set<std::string> CleanRequestFile(const OutboundTarget& target) {
    std::unordered_set<std::string> present;
    std::vector<std::string> kept;
    TextFile old(target.RequestFile);
    old.OpenRead();
    while (!old.AtEnd()) {
        std::string line = old.ReadFullLine();
        if (present.insert(line).second) kept.push_back(std::move(line));
    }
    const bool readFailed = TakeIoError() != 0;
    if (old.IsOpen()) old.Close();
    TakeIoError();
    if (readFailed) return present;

    // The cleaned lines go beside the file first and then take its place in
    // one step, so that a failure half-way never costs the old lines.
    const std::string fresh = target.TargetDir + "\\" + target.FileStem + ".tmp";
    TextFile cleaned(fresh);
    cleaned.Create();
    for (const std::string& line : kept) cleaned.WriteLine(line);
    if (cleaned.IsOpen()) cleaned.Close();
    if (TakeIoError() == 0) {
        PutInPlace(fresh, target.RequestFile);
        if (TakeIoError() == 0) return present;
    }
    RemoveFile(fresh);
    TakeIoError();
    StopRunNaming(text::kUnableToWrite, target.RequestFile);
}

void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const Requests& requests,
                   const Settings& settings, ActivityLog& log, TextFile& console) {
    // Held until the request file is closed, and given back at any stop.
    const BusyFlag flag(target, node);
    if (settings.CreateClo) TouchFlowFile(target.FlowFile);

    std::unordered_set<std::string> present;
    TextFile request(target.RequestFile);
    if (FileExists(target.RequestFile)) {
        if (settings.CheckDupes) present = CleanRequestFile(target);
        request.OpenAppend();
    } else {
        request.Create();
    }
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToOpen, target.RequestFile);

    const std::string from = std::string(text::kRequestedFrom) + PrintedForm(node);
    for (const BoundedString& line : requests.RequestList) {
        for (const std::string& word : WordsOf(NormalizeLine(line))) {
            // Two blanks in a row leave an empty word, which names nothing.
            if (word.empty()) continue;
            const BoundedString wanted = RequestText(BoundedString(word));
            if (settings.CheckDupes && present.count(wanted.Str()) != 0) {
                console.WriteLine(std::string(" ").append(wanted.View()).append(text::kAlreadyExists));
                continue;
            }
            WriteLogLine(log, wanted.View(), node);
            request.WriteLine(wanted.View());
            if (TakeIoError() != 0) StopRunNaming(text::kUnableToWrite, target.RequestFile);
            console.WriteLine(std::string(" ").append(wanted.View()).append(from));
        }
    }
    request.Close();
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToWrite, target.RequestFile);
}
