// Writing the request and flow files.
#include "outbound/request_files.hpp"

#include <vector>

#include "config/configuration.hpp"
#include "config/console_texts.hpp"
#include "config/text_helpers.hpp"
#include "outbound/busy_flag.hpp"
#include "outbound/log.hpp"
#include "runtime/file_system.hpp"
#include "runtime/io_error.hpp"
#include "runtime/standard_files.hpp"

namespace {

// An existing flow file is left as it is, even one that cannot be opened: it
// may name files to send. A failure here changes nothing else.
void TouchFlowFile(const std::string& name) {
    TextFile flow(name);
    if (FileExists(name))
        flow.OpenRead();
    else
        flow.CreateNew();
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

void CleanRequestFile(const OutboundTarget& target, RequestFileLines& lines) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;  // where each line stands in the text
    TextFile old(target.RequestFile);
    old.OpenRead();
    while (!old.AtEnd()) {
        const std::size_t start = lines.text.size();
        old.ReadFullLine(lines.text);
        spans.emplace_back(start, lines.text.size() - start);
    }
    // Lines after a ^Z in the middle are requests all the same to a mailer
    // that reads to the end: such a file is only added to, never rewritten.
    const bool textAfterEndMark = old.TextAfterEndMark();
    const bool readFailed = TakeIoError() != 0;
    if (old.IsOpen()) old.Close();
    TakeIoError();

    std::string content;
    bool repeats = false;
    lines.present.reserve(spans.size());
    for (const auto& [start, length] : spans) {
        const std::string_view line(lines.text.data() + start, length);
        if (lines.present.insert(line).second)
            content.append(line).append("\r\n");
        else
            repeats = true;
    }
    // A file without repeats stays as it is, its owner, rights and links
    // with it; so does one that could not be read to its end.
    if (!repeats || readFailed || textAfterEndMark) return;

    // The cleaned lines go beside the file first and then take its place in
    // one step, so that a failure half-way never costs the old lines.
    TextFile cleaned;
    cleaned.CreateTemporaryBeside(target.RequestFile);
    const bool made = cleaned.IsOpen();
    cleaned.Write(content);
    if (made) cleaned.Close();
    if (TakeIoError() == 0) {
        PutInPlace(cleaned.Name(), target.RequestFile);
        if (TakeIoError() == 0) return;
    }
    if (made) RemoveFile(cleaned.Name());
    TakeIoError();
    StopRunNaming(text::kUnableToWrite, target.RequestFile);
}

void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const Requests& requests,
                   const Settings& settings, ActivityLog& log, TextFile& console) {
    // Held until the request file is closed, and given back at any stop.
    const BusyFlag flag(target, node);
    if (settings.CreateClo) TouchFlowFile(target.FlowFile);

    RequestFileLines existing;
    TextFile request(target.RequestFile);
    if (FileExists(target.RequestFile)) {
        if (settings.CheckDupes) CleanRequestFile(target, existing);
        request.OpenAppend();
    } else {
        // A request file that is there but cannot be opened is reported, never emptied.
        request.CreateNew();
    }
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToOpen, target.RequestFile);

    const std::string printed = PrintedForm(node);
    const std::string from = std::string(text::kRequestedFrom) + printed;
    for (const BoundedString& line : requests.RequestList) {
        for (const std::string& word : WordsOf(NormalizeLine(line))) {
            // Two blanks in a row leave an empty word, which names nothing.
            if (word.empty()) continue;
            const BoundedString wanted = RequestText(BoundedString(word));
            if (settings.CheckDupes && existing.present.count(wanted.View()) != 0) {
                console.WriteLine(std::string(" ").append(wanted.View()).append(text::kAlreadyExists));
                continue;
            }
            WriteLogLine(log, wanted.View(), printed);
            request.WriteLine(wanted.View());
            if (TakeIoError() != 0) StopRunNaming(text::kUnableToWrite, target.RequestFile);
            console.WriteLine(std::string(" ").append(wanted.View()).append(from));
        }
    }
    request.Close();
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToWrite, target.RequestFile);
}
