// Gathering and checking the request list.
#include "front/requests.hpp"

#include "config/configuration.hpp"
#include "config/console_texts.hpp"
#include "config/text_helpers.hpp"
#include "runtime/io_error.hpp"
#include "runtime/standard_files.hpp"

namespace {

BoundedString& CurrentLine(Requests& requests) { return requests.RequestList.back(); }

// A line longer than 220 characters is closed before the next word.
void BreakLongLine(Requests& requests) {
    if (CurrentLine(requests).Length() <= kLineBreakLength) return;
    if (requests.RequestLineCount() == kRequestLineCapacity) StopRun(text::kTooManyFiles);
    requests.RequestList.emplace_back();
}

Requests AskForRequests(const Settings& settings, TextFile& input, TextFile& console) {
    Requests requests;
    console.Write(text::kAskFiles);
    CurrentLine(requests) = input.ReadLine();
    console.Write(text::kAskNodes);
    requests.NodeString = input.ReadLine();
    console.WriteLine();
    TakeIoError();  // a console that cannot be read gives empty answers
    if (requests.NodeString.Empty()) requests.NodeString = settings.DefaultNode;
    return requests;
}

}  // namespace

bool IsAddressItem(std::string_view item) {
    if (item.starts_with('@')) return false;
    return item.find('/') != std::string_view::npos || item.starts_with('.');
}

int FirstAddressItem(const CommandLine& args, int first) {
    for (int i = first; i <= args.ArgCount(); ++i)
        if (IsAddressItem(args.ArgAt(i).View())) return i;
    return args.ArgCount() + 1;
}

void AppendListFile(std::string_view name, Requests& requests) {
    if (!FileExists(name, platform::Access::Read)) StopRunNaming(text::kUnableToOpen, name);
    TextFile list(name);
    list.OpenRead();
    if (list.TakeByteOrderMark() == TextFile::Encoding::Utf16) StopRunNaming(text::kUtf16Before, name, text::kUtf16After);
    while (!list.AtEnd()) {
        const BoundedString line = list.ReadLine();
        CurrentLine(requests).Append(' ');
        BreakLongLine(requests);
        const std::string_view v = line.View();
        CurrentLine(requests).Append(v.substr(0, v.find(' ')));
    }
    // A list that could not be read to its end would lose requests unseen.
    if (!list.CloseAfterReading()) StopRunNaming(text::kUnableToOpen, name);
    CurrentLine(requests).Append(' ');
}

Requests GatherRequests(const CommandLine& args, const Settings& settings, TextFile& input, TextFile& console) {
    const int first = settings.FirstItemIndex;
    const int last = args.ArgCount();
    if (last == first && args.ArgAt(first) == "/") return AskForRequests(settings, input, console);

    Requests requests;
    const int addresses = FirstAddressItem(args, first);
    if (addresses <= last) {
        for (int i = addresses; i <= last; ++i) requests.NodeString.Append(args.ArgAt(i).View()).Append(' ');
    } else {
        // Every item is a file: they are requested from DEFAULTNODE.
        if (settings.DefaultNode.Empty()) StopRun(text::kNoAddressItem);
        requests.NodeString = settings.DefaultNode;
    }
    for (int i = first; i < addresses; ++i) {
        const BoundedString item = args.ArgAt(i);
        BreakLongLine(requests);
        if (!item.Empty() && item.First() == '@')
            AppendListFile(item.View().substr(1), requests);
        else
            CurrentLine(requests).Append(item.View()).Append(' ');
    }
    return requests;
}

void CheckRequestList(const Requests& requests) {
    static constexpr std::string_view kForbidden = "\"/:<>\\|";
    for (const BoundedString& line : requests.RequestList) {
        const BoundedString copy = NormalizeLine(line);
        if (copy.Empty()) StopRun(text::kNoFile);
        for (char c : copy.View())
            if (static_cast<unsigned char>(c) < 32 || kForbidden.find(c) != std::string_view::npos)
                StopRun(text::kBadFileName);
    }
}
