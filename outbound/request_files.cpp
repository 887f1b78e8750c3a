// Writing the request and flow files.
#include "outbound/request_files.hpp"

#include <algorithm>
#include <new>
#include <utility>

#include "outbound/busy_flag.hpp"
#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/numbers.hpp"
#include "runtime/text_helpers.hpp"
#include "runtime/text_reader.hpp"

namespace {

// The most of a request file the cleaning holds in memory, with a table of
// its lines beside it (some 50 bytes a line): a file larger than that is no
// list of requests a mailer sends, and reading it would cost the machine its
// memory.
constexpr std::size_t kLargestCleaning = std::size_t{32} << 20;

std::string_view StemOf(std::string_view file) { return file.substr(0, file.find('.')); }

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperChar(x) == UpperChar(y); });
}

// Copies that runs killed while they cleaned left beside the file: the
// copy's own name, and in the outbound's own folders the names an earlier
// version gave its copies; beside a file a link leads to, nothing but the
// copy's own name is touched. With the address's flag held, no run can be
// writing one now.
void RemoveLeftoverCopies(const HeldFile& file) {
    std::vector<std::string> entries;
    if (!file.Followed() && platform::ListFolder(file.Folder().Handle(), entries) == 0)
        for (const std::string& entry : entries) {
            if (IsOldCopyOf(entry, file.Name())) [[maybe_unused]] const int removed = RemoveFile(Place(file.Folder(), entry));
        }
    [[maybe_unused]] const int removed = RemoveFile(Place(file.Folder(), CopyNameOf(file.Name())));
}

// An existing flow file is left as it is, even one that cannot be opened: it
// may name files to send. A failure here changes nothing else.
void TouchFlowFile(const Place& place) {
    platform::Handle handle = platform::kNoHandle;
    if (MakeFile(place, platform::Access::ReadWrite, handle) == 0) LetGo(handle);
}

// The lines of a request file, as read, and whether it was read whole: to
// its end, without text after a ^Z.
struct RequestFileLines {
    std::string Text;  // every line followed by "\n", which no line holds
    bool Whole = false;
    std::int64_t Taken = 0;  // the bytes read: where what others add begins
};

// The cleaning's first step, from the start of the open file; `shown` names
// the file in a stop.
RequestFileLines ReadRequestFile(platform::Handle file, std::string_view shown) {
    RequestFileLines read;
    TextReader old(file);
    // A file that cannot be held in memory is left as it is, and so is the
    // address: nothing can be checked against it. Its size is asked first,
    // and the reading is bounded too, for a file that grows under it.
    std::int64_t size = -1;
    int error = old.Size(size);
    bool tooLarge = size > static_cast<std::int64_t>(kLargestCleaning);
    while (error == 0 && !tooLarge) {
        bool end = false;
        const std::size_t start = read.Text.size();
        error = old.ReadFullLine(read.Text, kLargestCleaning + 1 - start, end);
        // A line cut short by a failed read is no line the file holds.
        if (error != 0) read.Text.resize(start);
        if (error != 0 || end) break;
        read.Text.push_back('\n');
        tooLarge = read.Text.size() > kLargestCleaning;
    }
    if (tooLarge) StopRunNaming(text::kNoMemoryFor, shown);
    // Lines after a ^Z in the middle are requests all the same to a mailer
    // that reads to the end: such a file is only added to, never rewritten;
    // so is one that could not be read to its end.
    bool textAfterEndMark = false;
    if (error == 0) error = old.TextAfterEndMark(textAfterEndMark);
    read.Whole = error == 0 && !textAfterEndMark;
    read.Taken = old.Taken();
    return read;
}

// What another program added to the request file after it was read (a
// script that appends a line, without the busy flag): added to the copy as
// it is, and `taken` moved past it.
int CatchUp(platform::Handle old, std::int64_t& taken, TextWriter& copy) {
    std::int64_t end = 0;
    if (const int error = platform::FileSeekEnd(old, end)) return error;
    if (end <= taken) return 0;
    if (end - taken > static_cast<std::int64_t>(kLargestCleaning)) return platform::Refused();
    std::string added(static_cast<std::size_t>(end - taken), '\0');
    if (const int error = platform::FileSeek(old, taken)) return error;
    std::size_t got = 0;
    while (got < added.size()) {
        int piece = 0;
        if (const int error = platform::FileRead(old, added.data() + got, static_cast<int>(added.size() - got), piece))
            return error;
        if (piece == 0) break;
        got += static_cast<std::size_t>(piece);
    }
    added.resize(got);
    taken += static_cast<std::int64_t>(got);
    return copy.Write(added);
}

// The second step's rewrite: the copy is made beside the file under its one
// name, takes the owner, group and mode of the file that was read, gets the
// cleaned lines and what was added meanwhile, and takes the file's place in
// one step, so that a failure half-way never costs the old lines; what was
// added to the old file up to that step follows it.
void ReplaceWithCopy(HeldFile& file, const std::string& content, std::int64_t taken, std::string_view shown) {
    const HeldFolder& folder = file.Folder();
    const Place place(folder, CopyNameOf(file.Name()));
    platform::Handle handle = platform::kNoHandle;
    if (MakeFile(place, platform::Access::ReadWrite, handle) != 0) StopRunNaming(text::kUnableToWrite, shown);
    TextWriter copy;
    copy.Take(handle);
    int error = platform::FileTakeOwner(handle, file.Handle());
    if (error == 0) error = copy.Write(content);
    if (error == 0) error = CatchUp(file.Handle(), taken, copy);
    platform::Handle old = file.Release();
    platform::Handle copied = copy.Release();
    if (error == 0) error = platform::EntryReplace(folder.Handle(), place.Name, copied, file.Name(), old);
    // Where the old file stays open (POSIX), what was added to it up to the
    // rename is still read from it; where it does not, the new file is
    // opened anew.
    if (error == 0 && copied != platform::kNoHandle && old != platform::kNoHandle) {
        copy.Take(copied);
        error = copy.ToEnd();
        if (error == 0) error = CatchUp(old, taken, copy);
        copied = copy.Release();
    }
    if (old != platform::kNoHandle) LetGo(old);
    HeldFile reopened;
    if (error == 0 && copied == platform::kNoHandle)
        error = OpenFile(Place(folder, file.Name()), platform::Access::ReadWrite, reopened);
    if (error != 0) {
        if (copied != platform::kNoHandle) LetGo(copied);
        [[maybe_unused]] const int removed = RemoveFile(place);
        StopRunNaming(text::kUnableToWrite, shown);
    }
    file.Reset(copied != platform::kNoHandle ? copied : reopened.Release());
}

// The second step: the lines the file holds, as views into `read`; the file
// rewritten without its repeats when it has any and was read whole.
std::unordered_set<std::string_view> RewriteWithoutRepeats(HeldFile& file, const RequestFileLines& read,
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
    if (repeats && read.Whole) ReplaceWithCopy(file, content, read.Taken, shown);
    return held;
}

// Opens the request file for adding, after the repeat-cleaning when CHECKDUPES
// asks for it, or creates it when it is missing (`made`); the request lines it
// holds already. A request file that is there but cannot be opened is
// reported, never emptied.
std::unordered_set<std::string> OpenRequestFile(const OutboundTarget& target, const RequestJob& job,
                                                TextWriter& request, bool& made) {
    const Place place = target.File(".req");
    std::unordered_set<std::string> present;
    HeldFile file;
    // One made meanwhile by a program that does not take the flag is added to.
    int error = OpenOrMakeFile(place, platform::Access::ReadWrite, file, made);
    if (error == 0 && !made && job.CheckDupes) present = CleanRequestFile(file, target.RequestFile, job.Lines);
    if (error == 0) request.Take(file.Release());
    if (error == 0 && !made) error = request.ToEnd();
    if (error != 0) StopRunNaming(text::kUnableToOpen, target.RequestFile);
    return present;
}

}  // namespace

std::string CopyNameOf(std::string_view file) {
    std::string copy(file);
    if (!copy.empty()) copy.back() = copy.back() == '~' ? '_' : '~';
    return copy;
}

bool IsOldCopyOf(std::string_view name, std::string_view file) {
    const std::string_view stem = StemOf(file);
    constexpr std::string_view kEnd = ".tmp";
    if (name.size() < stem.size() + 1 + kEnd.size() || !SameLetters(name.substr(0, stem.size()), stem) ||
        name[stem.size()] != '.' || !SameLetters(name.substr(name.size() - kEnd.size()), kEnd))
        return false;
    const std::string_view numbers = name.substr(stem.size() + 1, name.size() - stem.size() - 1 - kEnd.size());
    const std::size_t dash = numbers.find('-');
    return dash == std::string_view::npos ? AllDigits(numbers)
                                          : AllDigits(numbers.substr(0, dash)) && AllDigits(numbers.substr(dash + 1));
}

std::unordered_set<std::string> CleanRequestFile(HeldFile& file, std::string_view shown,
                                                 const std::vector<std::string>& wanted) {
    RemoveLeftoverCopies(file);
    try {
        const RequestFileLines read = ReadRequestFile(file.Handle(), shown);
        const std::unordered_set<std::string_view> held = RewriteWithoutRepeats(file, read, shown);
        std::unordered_set<std::string> present;
        for (const std::string& line : wanted)
            if (held.count(line) != 0) present.insert(line);
        return present;
    } catch (const std::bad_alloc&) {
        // What was read is given back on the way here.
    }
    StopRunNaming(text::kNoMemoryFor, shown);
}

void WriteRequests(const NodeAddress& node, const OutboundTarget& target, const RequestJob& job) {
    // Held until the request file is closed, and given back at any stop.
    const BusyFlag flag(target, node);
    TextWriter request;
    bool made = false;
    const std::unordered_set<std::string> present = OpenRequestFile(target, job, request, made);
    const std::string address = PrintedForm(node);
    bool written = false;
    for (const std::string& wanted : job.Lines) {
        if (present.count(wanted) != 0) {
            job.Screen.WriteLine(" " + wanted + std::string(text::kAlreadyExists));
            continue;
        }
        // The line in the request file, then its log line and its console
        // line: the log and the console show only what the file holds.
        if (request.WriteLine(wanted) != 0) {
            // A request file this run made, with no line in it, is no request.
            if (made && !written) {
                LetGo(request.Release());
                [[maybe_unused]] const int removed = RemoveFile(target.File(".req"));
            }
            StopRunNaming(text::kUnableToWrite, target.RequestFile);
        }
        // The mailer is called only for a request file that holds a request.
        if (!written && job.CreateClo) TouchFlowFile(target.File(".clo"));
        written = true;
        WriteLogLine(job.Log, wanted, address);
        job.Screen.WriteLine(std::string(" ").append(wanted).append(text::kRequestedFrom).append(address));
    }
    // Every request was there already: the file holds them, the mailer calls.
    if (!written && job.CreateClo && !present.empty()) TouchFlowFile(target.File(".clo"));
    if (request.Close() != 0) StopRunNaming(text::kUnableToWrite, target.RequestFile);
}
