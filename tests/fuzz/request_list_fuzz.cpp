// The items of a command line into the request list and the address text,
// "@" list files included, then the file-name check and the request text of
// every word. The input is the list file's bytes, a NUL, and the items one a
// line; every "@" item reads the same list bytes; "/" alone reads them as the
// two prompt answers.
#include "config/configuration.hpp"
#include "config/text_helpers.hpp"
#include "front/requests.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/memory_platform.hpp"
#include "outbound/request_files.hpp"
#include "runtime/io_error.hpp"
#include "runtime/standard_files.hpp"

namespace {

void CheckRequestTexts(const Requests& requests) {
    for (const BoundedString& line : requests.RequestList) {
        std::string word;
        const std::string normal = NormalizeLine(line).Str() + " ";
        for (char c : normal) {
            if (c != ' ') {
                word.push_back(c);
                continue;
            }
            const BoundedString text = RequestText(BoundedString(word));
            // A blank goes in front of the first "!!" (the text cut at 255
            // characters, so a word of 255 loses its last one), then the first
            // "!" of it goes; nothing else changes.
            std::string expected = word;
            const std::size_t at = word.find("!!");
            if (at != std::string::npos) {
                expected = (word.substr(0, at) + " " + word.substr(at)).substr(0, BoundedString::kCapacity);
                if (at + 1 < expected.size()) expected.erase(at + 1, 1);
            }
            FUZZ_CHECK(text.View() == expected);
            word.clear();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    memory_platform::Reset();
    TakeIoError();
    const std::vector<std::string_view> parts = Parts(AsText(data, size), '\0', 2);
    CommandLine args{"\\FIDO\\TOLVEX.EXE", {}};
    for (std::string_view item : Parts(parts[1], '\n', 64)) {
        if (item.empty()) continue;
        args.arguments.emplace_back(item);
        if (item.front() == '@') memory_platform::PutFile(item.substr(1), parts[0]);
    }
    memory_platform::PutFile("STDIN", parts[0]);
    Settings settings;
    settings.DefaultNode = "12";
    TextFile input("STDIN");
    input.OpenRead();
    TextFile console("CON");
    console.Create();
    try {
        const Requests requests = GatherRequests(args, settings, input, console);
        FUZZ_CHECK(requests.RequestLineCount() >= 1 && requests.RequestLineCount() <= kRequestLineCapacity);
        FUZZ_CHECK(!IoErrorPending());
        CheckRequestTexts(requests);
        CheckRequestList(requests);
    } catch (const RunStop& stop) {
        FUZZ_CHECK(stop.lines.size() == 1);
    }
    TakeIoError();
    return 0;
}
