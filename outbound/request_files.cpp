// Writing the request and flow files.
#include "outbound/request_files.hpp"

#include <new>
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
void TouchFlowFile(platform::Path name) {
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

// The most of a request file the cleaning holds in memory, about twice over
// with its lines: a file larger than that is no list of requests a mailer
// sends, and reading it would cost the machine its memory.
constexpr std::size_t kLargestCleaning = std::size_t{64} << 20;

enum class Reading { Whole, Incomplete, TooLarge };

// Reads every line of the file into `lines`, and the lines without repeats
// into `content`, each ended by CR LF.
Reading ReadRequestLines(platform::Path file, RequestFileLines& lines, std::string& content, bool& repeats) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;  // where each line stands in the text
    TextFile old(file);
    old.OpenRead();
    if (old.Size() > static_cast<std::int64_t>(kLargestCleaning)) return Reading::TooLarge;
    while (!old.AtEnd()) {
        const std::size_t start = lines.text.size();
        // Bounded also while the file grows under the reading.
        old.ReadFullLine(lines.text, kLargestCleaning + 1 - start);
        spans.emplace_back(start, lines.text.size() - start);
        if (lines.text.size() > kLargestCleaning) return Reading::TooLarge;
    }
    // Lines after a ^Z in the middle are requests all the same to a mailer
    // that reads to the end: such a file is only added to, never rewritten.
    const bool textAfterEndMark = old.TextAfterEndMark();
    const bool readFailed = !old.CloseAfterReading();
    repeats = false;
    lines.present.reserve(spans.size());
    for (const auto& [start, length] : spans) {
        const std::string_view line(lines.text.data() + start, length);
        if (lines.present.insert(line).second)
            content.append(line).append("\r\n");
        else
            repeats = true;
    }
    return readFailed || textAfterEndMark ? Reading::Incomplete : Reading::Whole;
}

// A run killed while it cleaned leaves its copy behind, under a name no
// later run makes again; with the address's flag held, no other run can be
// writing one now.
void RemoveLeftoverCopies(platform::Path file) {
    const std::size_t nameAt = file.text.find_last_of("\\/") + 1;  // 0 without a folder
    const std::string folder(file.text.substr(0, nameAt));
    const std::string listed = nameAt == 0 ? std::string(".") : folder.substr(0, nameAt - 1);
    for (const std::string& entry : FolderEntries({listed, file.shared}))
        if (IsTemporaryCopyOf(entry, file.text.substr(nameAt))) RemoveFile({folder + entry, file.shared});
    TakeIoError();
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
    // A request file that is a link the sysop made is cleaned where it leads,
    // and the link stays.
    const platform::Path requestFile = target.InOutbound(target.RequestFile);
    std::string real;
    const platform::Path file = platform::FollowLink(requestFile, real) ? platform::Path(real) : requestFile;
    RemoveLeftoverCopies(file);

    std::string content;
    bool repeats = false;
    Reading reading = Reading::TooLarge;
    try {
        reading = ReadRequestLines(file, lines, content, repeats);
    } catch (const std::bad_alloc&) {
    }
    // A file that cannot be held in memory is left as it is, and so is the
    // address: nothing can be checked against it.
    if (reading == Reading::TooLarge) {
        lines.present = {};
        lines.text = std::string();
        std::string().swap(content);
        TakeIoError();
        StopRunNaming(text::kNoMemoryFor, target.RequestFile);
    }
    // A file without repeats stays as it is, its owner, rights and links
    // with it; so does one that could not be read to its end.
    if (!repeats || reading == Reading::Incomplete) return;

    // The cleaned lines go beside the file first and then take its place in
    // one step, so that a failure half-way never costs the old lines.
    TextFile cleaned;
    cleaned.CreateTemporaryBeside(file);
    const bool made = cleaned.IsOpen();
    cleaned.Write(content);
    if (made) cleaned.Close();
    if (TakeIoError() == 0) {
        PutInPlace(cleaned.Where(), file);
        if (TakeIoError() == 0) return;
    }
    if (made) RemoveFile(cleaned.Where());
    TakeIoError();
    StopRunNaming(text::kUnableToWrite, target.RequestFile);
}

namespace {

// Opens the request file for adding, after the repeat-cleaning when CHECKDUPES
// asks for it, or creates it when it is missing. A request file that is
// there but cannot be opened is reported, never emptied.
void OpenRequestFile(const OutboundTarget& target, bool checkDupes, TextFile& request, RequestFileLines& existing) {
    if (FileExists(request.Where())) {
        if (checkDupes) CleanRequestFile(target, existing);
        request.OpenAppend();
    } else {
        request.CreateNew();
    }
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToOpen, target.RequestFile);
}

// The line in the request file, then its log line and its console line: the
// log and the console show only what the file holds.
void WriteRequestLine(std::string_view wanted, std::string_view address, TextFile& request, ActivityLog& log,
                      TextFile& console) {
    request.WriteLine(wanted);
    if (TakeIoError() != 0) StopRunNaming(text::kUnableToWrite, request.Name());
    WriteLogLine(log, wanted, address);
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
    RequestFileLines existing;
    TextFile request(target.InOutbound(target.RequestFile));
    OpenRequestFile(target, settings.CheckDupes, request, existing);
    // Only a request file open for the requests gets its flow file: the
    // mailer would call for nothing.
    if (settings.CreateClo) TouchFlowFile(target.InOutbound(target.FlowFile));
    const std::string address = PrintedForm(node);
    for (const std::string& wanted : RequestTexts(requests)) {
        if (settings.CheckDupes && existing.Holds(wanted))
            console.WriteLine(" " + wanted + std::string(text::kAlreadyExists));
        else
            WriteRequestLine(wanted, address, request, log, console);
    }
    CloseRequestFile(request);
}
