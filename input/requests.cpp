// Gathering and checking the request list.
#include "input/requests.hpp"

#include "config/configuration.hpp"
#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/text_helpers.hpp"

namespace {

BoundedString& CurrentLine(RequestList& requests) { return requests.back(); }

// A line longer than 220 characters is closed before the next word.
void BreakLongLine(RequestList& requests) {
    if (CurrentLine(requests).Length() <= kLineBreakLength) return;
    if (static_cast<int>(requests.size()) == kRequestLineCapacity) StopRun(text::kTooManyFiles);
    requests.emplace_back();
}

// A line typed at a prompt; a console that cannot be read gives an empty
// answer, as does the end of the input.
BoundedString Answer(TextReader& input) {
    BoundedString answer;
    bool end = false;
    if (input.ReadLine(answer, end) != 0) return {};
    return answer;
}

Items AskForRequests(const Settings& settings, TextReader& input, const Console& console) {
    Items items;
    console.Write(text::kAskFiles);
    CurrentLine(items.Requests) = Answer(input);
    console.Write(text::kAskNodes);
    items.NodeString = Answer(input);
    console.WriteLine();
    if (items.NodeString.Empty()) items.NodeString = settings.DefaultNode;
    return items;
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

bool IsAddressItem(std::string_view item) {
    if (item.starts_with('@')) return false;
    return item.find('/') != std::string_view::npos || item.starts_with('.');
}

std::size_t FirstAddressItem(const std::vector<BoundedString>& items) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (IsAddressItem(items[i].View())) return i;
    return items.size();
}

void AppendListFile(std::string_view name, RequestList& requests) {
    // A list that cannot be opened, or read to its end, stops the run below:
    // it would lose requests unseen.
    TextReader list(name);
    TextReader::Encoding encoding = TextReader::Encoding::Bytes;
    int error = list.Open();
    if (error == 0) error = list.DecideEncoding(encoding);
    if (encoding == TextReader::Encoding::Utf16) StopRunNaming(text::kUtf16Before, name, text::kUtf16After);
    while (error == 0) {
        BoundedString line;
        bool end = false;
        if ((error = list.ReadLine(line, end)) != 0 || end) break;
        CurrentLine(requests).Append(' ');
        BreakLongLine(requests);
        const std::string_view v = line.View();
        CurrentLine(requests).Append(v.substr(0, v.find(' ')));
    }
    list.Close();
    if (error != 0) StopRunNaming(text::kUnableToOpen, name);
    CurrentLine(requests).Append(' ');
}

Items GatherRequests(const std::vector<BoundedString>& given, const Settings& settings, TextReader& input,
                     const Console& console) {
    if (given.size() == 1 && given.front() == "/") return AskForRequests(settings, input, console);

    Items items;
    const std::size_t addresses = FirstAddressItem(given);
    if (addresses < given.size()) {
        for (std::size_t i = addresses; i < given.size(); ++i) items.NodeString.Append(given[i].View()).Append(' ');
    } else {
        // Every item is a file: they are requested from DEFAULTNODE.
        if (settings.DefaultNode.Empty()) StopRun(text::kNoAddressItem);
        items.NodeString = settings.DefaultNode;
    }
    for (std::size_t i = 0; i < addresses; ++i) {
        const BoundedString& item = given[i];
        BreakLongLine(items.Requests);
        if (!item.Empty() && item.First() == '@')
            AppendListFile(item.View().substr(1), items.Requests);
        else
            CurrentLine(items.Requests).Append(item.View()).Append(' ');
    }
    return items;
}

std::vector<std::string> CheckRequestList(const RequestList& requests) {
    static constexpr std::string_view kForbidden = "\"/:<>\\|";
    std::vector<std::string> texts;
    for (const BoundedString& line : requests) {
        const BoundedString copy = NormalizeLine(line);
        if (copy.Empty()) StopRun(text::kNoFile);
        for (char c : copy.View())
            if (static_cast<unsigned char>(c) < 32 || kForbidden.find(c) != std::string_view::npos)
                StopRun(text::kBadFileName);
        for (const std::string& word : WordsOf(copy))
            // Two blanks in a row leave an empty word, which names nothing.
            if (!word.empty()) texts.push_back(RequestText(BoundedString(word)).Str());
    }
    return texts;
}

BoundedString RequestText(BoundedString word) {
    const int at = FindText("!!", word.View());
    if (at > 0) {
        InsertText(" ", word, at);
        DeleteText(word, at + 1, 1);
    }
    return word;
}
