// Writing the request and flow files.
#include "outbound/request_files.hpp"

#include <algorithm>
#include <new>

#include "outbound/busy_flag.hpp"
#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/file_system.hpp"
#include "runtime/text_helpers.hpp"
#include "runtime/text_reader.hpp"

namespace {

// The most of a request file the cleaning holds in memory, with a table of
// its lines beside it (some 50 bytes a line): a file larger than that is no
// list of requests a mailer sends, and reading it would cost the machine its
// memory.
constexpr std::size_t kLargestCleaning = std::size_t{32} << 20;

// A run killed while it cleaned leaves its copy behind, under a name no
// later run makes again; with the address's flag held, no other run can be
// writing one now.
void RemoveLeftoverCopies(platform::Path file) {
    const std::size_t nameAt = file.NameAt();
    const std::string folder(file.Text.substr(0, nameAt));
    const std::string listed = nameAt == 0 ? std::string(".") : folder.substr(0, nameAt - 1);
    for (const std::string& entry : FolderEntries({listed, file.Shared}))
        if (IsTemporaryCopyOf(entry, file.Text.substr(nameAt))) RemoveFile({folder + entry, file.Shared});
    TakeIoError();
}

// An existing flow file is left as it is, even one that cannot be opened: it
// may name files to send. A failure here changes nothing else.
void TouchFlowFile(platform::Path name) {
    if (FileExists(name)) return;
    TextWriter flow(name);
    flow.CreateNew();
    flow.Close();  // a flow file that could not be made has nothing to close
}

// Opens the request file for adding, after the repeat-cleaning when CHECKDUPES
// asks for it, or creates it when it is missing; the request lines it holds
// already. A request file that is there but cannot be opened is
// reported, never emptied.
std::unordered_set<std::string> OpenRequestFile(const OutboundTarget& target, const RequestJob& job,
                                                TextWriter& request) {
    std::unordered_set<std::string> present;
    if (FileExists(request.Where())) {
        if (job.CheckDupes) present = CleanRequestFile(target, job.Lines);
        request.OpenAppend();
    } else {
        request.CreateNew();
    }
    if (request.TakeError() != 0) StopRunNaming(text::kUnableToOpen, target.RequestFile);
    return present;
}

// The line in the request file, then its log line and its console line: the
// log and the console show only what the file holds.
void WriteRequestLine(std::string_view wanted, std::string_view address, TextWriter& request, const RequestJob& job) {
    request.WriteLine(wanted);
    if (request.TakeError() != 0) StopRunNaming(text::kUnableToWrite, request.Name());
    WriteLogLine(job.Log, wanted, address);
    job.Console.WriteLine(std::string(" ").append(wanted).append(text::kRequestedFrom).append(address));
}

// The lines of a request file, as read, and whether it was read whole: to
// its end, without text after a ^Z.
struct RequestFileLines {
    std::string Text;  // every line followed by "\n", which no line holds
    bool Whole = false;
};

// The cleaning's first step; `shown` names the file in a stop.
RequestFileLines ReadRequestFile(platform::Path file, std::string_view shown) {
    RequestFileLines read;
    TextReader old(file);
    old.Open();
    // A file that cannot be held in memory is left as it is, and so is the
    // address: nothing can be checked against it. Its size is asked first,
    // and the reading is bounded too, for a file that grows under it.
    bool tooLarge = old.Size() > static_cast<std::int64_t>(kLargestCleaning);
    while (!tooLarge && !old.AtEnd()) {
        old.ReadFullLine(read.Text, kLargestCleaning + 1 - read.Text.size());
        read.Text.push_back('\n');
        tooLarge = read.Text.size() > kLargestCleaning;
    }
    if (tooLarge) StopRunNaming(text::kNoMemoryFor, shown);
    // Lines after a ^Z in the middle are requests all the same to a mailer
    // that reads to the end: such a file is only added to, never rewritten.
    const bool textAfterEndMark = old.TextAfterEndMark();
    read.Whole = old.Close() && !textAfterEndMark;
    return read;
}

// The second step; the lines the file holds, as views into `read`.
std::unordered_set<std::string_view> RewriteWithoutRepeats(platform::Path file, const RequestFileLines& read,
                                                           std::string_view shown) {
    std::unordered_set<std::string_view> held;
    // Room for the lines at once, up to a million: a file of one line many
    // times over needs none.
    const auto lines = static_cast<std::size_t>(std::count(read.Text.begin(), read.Text.end(), '\n'));
    held.reserve(std::min<std::size_t>(lines, std::size_t{1} << 20));
    std::string content;
    bool repeats = false;
    for (std::size_t at = 0; at < read.Text.size();) {
        const std::size_t end = read.Text.find('\n', at);
        const std::string_view line(read.Text.data() + at, end - at);
        at = end + 1;
        if (held.insert(line).second)
            content.append(line).append("\r\n");
        else
            repeats = true;
    }
    // A file without repeats stays as it is, its owner, rights and links
    // with it; so does one that could not be read whole.
    if (!repeats || !read.Whole) return held;

    // The cleaned lines go beside the file first and then take its place in
    // one step, so that a failure half-way never costs the old lines.
    TextWriter copy;
    copy.CreateTemporaryBeside(file);
    const bool made = copy.IsOpen();
    copy.Write(content);
    if (made) copy.Close();
    if (copy.TakeError() == 0) {
        PutInPlace(copy.Where(), file);
        if (TakeIoError() == 0) return held;
    }
    if (made) RemoveFile(copy.Where());
    TakeIoError();
    StopRunNaming(text::kUnableToWrite, shown);
}

}  // namespace

std::unordered_set<std::string> CleanRequestFile(const OutboundTarget& target, const std::vector<std::string>& wanted) {
    // A request file that is a link the sysop made is cleaned where it leads,
    // and the link stays.
    const platform::Path requestFile = target.InOutbound(target.RequestFile);
    std::string real;
    const platform::Path file = platform::FollowLink(requestFile, real) ? platform::Path(real) : requestFile;
    RemoveLeftoverCopies(file);
    try {
        const RequestFileLines read = ReadRequestFile(file, target.RequestFile);
        const std::unordered_set<std::string_view> held = RewriteWithoutRepeats(file, read, target.RequestFile);
        std::unordered_set<std::string> present;
        for (const std::string& line : wanted)
            if (held.count(line) != 0) present.insert(line);
        return present;
    } catch (const std::bad_alloc&) {
        // What was read is given back on the way here.
    }
    TakeIoError();
    StopRunNaming(text::kNoMemoryFor, target.RequestFile);
}

void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const RequestJob& job) {
    // Held until the request file is closed, and given back at any stop.
    const BusyFlag flag(target, node);
    TextWriter request(target.InOutbound(target.RequestFile));
    const std::unordered_set<std::string> present = OpenRequestFile(target, job, request);
    // Only a request file open for the requests gets its flow file: the
    // mailer would call for nothing.
    if (job.CreateClo) TouchFlowFile(target.InOutbound(target.FlowFile));
    const std::string address = PrintedForm(node);
    for (const std::string& wanted : job.Lines) {
        if (present.count(wanted) != 0)
            job.Console.WriteLine(" " + wanted + std::string(text::kAlreadyExists));
        else
            WriteRequestLine(wanted, address, request, job);
    }
    request.Close();
    if (request.TakeError() != 0) StopRunNaming(text::kUnableToWrite, request.Name());
}
