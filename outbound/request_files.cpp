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
    if (!FileExists(name)) {
        TextFile flow(name);
        flow.CreateNew();
        if (flow.IsOpen()) flow.Close();
    }
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
    const bool readFailed = !old.CloseAfterReading();

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

namespace {

// Opens the request file for adding, after the repeat-cleaning when CHECKDUPES
// asks for it, or creates it when it is missing. A request file that is
// there but cannot be opened is reported, never emptied.
void OpenRequestFile(const OutboundTarget& target, bool checkDupes, TextFile& request, RequestFileLines& existing) {
    if (FileExists(target.RequestFile)) {
        if (checkDupes) CleanRequestFile(target, existing);
        request.OpenAppend();
    } else {
        request.CreateNew();
    }
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToOpen, target.RequestFile);
}

// The log line, the line in the request file, then the console line: the
// console shows only what the file holds.
void WriteRequestLine(std::string_view wanted, std::string_view address, TextFile& request, ActivityLog& log,
                      TextFile& console) {
    WriteLogLine(log, wanted, address);
    request.WriteLine(wanted);
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToWrite, request.Name());
    console.WriteLine(std::string(" ").append(wanted).append(text::kRequestedFrom).append(address));
}

void CloseRequestFile(TextFile& request) {
    request.Close();
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToWrite, request.Name());
}

}  // namespace

std::vector<std::string> RequestTexts(const Requests& requests) {
    std::vector<std::string> texts;
    for (const BoundedString& line : requests.RequestList)
        for (const std::string& word : WordsOf(NormalizeLine(line)))
            // Two blanks in a row leave an empty word, which names nothing.
            if (!word.empty()) texts.push_back(RequestText(BoundedString(word)).Str());
    return texts;
}

void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const Requests& requests,
                   const Settings& settings, ActivityLog& log, TextFile& console) {
    // Held until the request file is closed, and given back at any stop.
    const BusyFlag flag(target, node);
    if (settings.CreateClo) TouchFlowFile(target.FlowFile);
    RequestFileLines existing;
    TextFile request(target.RequestFile);
    OpenRequestFile(target, settings.CheckDupes, request, existing);
    const std::string address = PrintedForm(node);
    for (const std::string& wanted : RequestTexts(requests)) {
        if (settings.CheckDupes && existing.Holds(wanted))
            console.WriteLine(" " + wanted + std::string(text::kAlreadyExists));
        else
            WriteRequestLine(wanted, address, request, log, console);
    }
    CloseRequestFile(request);
}
