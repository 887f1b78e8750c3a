// The items of a command line into the request list and the address text,
// "@" list files included, then the file-name check and the request text of
// every word. The input is the list file's bytes, a NUL, and the items one a
// line; every "@" item reads the same list bytes; "/" alone reads them as the
// two prompt answers.
#include "config/configuration.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/memory_platform.hpp"
#include "input/requests.hpp"
#include "runtime/errors.hpp"
#include "runtime/text_helpers.hpp"

namespace {

// The request lines as the rule has them: the words of every normalised line,
// each with a blank in front of its first "!!" (the text cut at 255
// characters, so a word of 255 loses its last one) and then the first "!" of
// it gone; nothing else changes.
std::vector<std::string> ExpectedTexts(const RequestList& requests) {
    std::vector<std::string> texts;
    for (const BoundedString& line : requests) {
        std::string word;
        const std::string normal = NormalizeLine(line).Str() + " ";
        for (char c : normal) {
            if (c != ' ') {
                word.push_back(c);
                continue;
            }
            std::string expected = word;
            const std::size_t at = word.find("!!");
            if (at != std::string::npos) {
                expected = (word.substr(0, at) + " " + word.substr(at)).substr(0, BoundedString::kCapacity);
                if (at + 1 < expected.size()) expected.erase(at + 1, 1);
            }
            if (!word.empty()) texts.push_back(expected);
            word.clear();
        }
    }
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memory_platform::Reset();
    const std::vector<std::string_view> parts = Parts(AsText(data, size), '\0', 2);
    std::vector<BoundedString> args;
    for (std::string_view item : Parts(parts[1], '\n', 64)) {
        if (item.empty()) continue;
        args.emplace_back(item);
        if (item.front() == '@') memory_platform::PutFile(item.substr(1), parts[0]);
    }
    memory_platform::PutFile("STDIN", parts[0]);
    Settings settings;
    settings.DefaultNode = "12";
    TextReader input("STDIN");
    FUZZ_CHECK(input.Open() == 0);
    try {
        const Items items = GatherRequests(args, settings, input, Console(platform::StandardOutputHandle()));
        FUZZ_CHECK(!items.Requests.empty() && items.Requests.size() <= static_cast<std::size_t>(kRequestLineCapacity));
        FUZZ_CHECK(CheckRequestList(items.Requests) == ExpectedTexts(items.Requests));
    } catch (const RunStop& stop) {
        FUZZ_CHECK(stop.Lines.size() == 1);
    }
    return 0;
}
