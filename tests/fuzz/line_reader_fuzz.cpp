// Text files over arbitrary bytes: reading lines (CR, CR LF and LF end a line,
// ^Z ends the text, long lines are cut to 255 or read whole) against a plain
// restatement of the rule, and appending after the ^Z cut. The first byte
// chooses how; the rest is the file.
#include "fuzz/fuzz_input.hpp"
#include "fuzz/memory_platform.hpp"
#include "runtime/text_reader.hpp"
#include "runtime/text_writer.hpp"

namespace {

constexpr char kEndMark = 26;

std::string ExpectedAppend(std::string_view bytes, std::string_view line) {
    // Only the ^Z bytes that end the file go.
    std::string text(bytes.substr(0, bytes.find_last_not_of(kEndMark) + 1));
    if (!text.empty() && text.back() != '\r' && text.back() != '\n') text += "\r\n";
    return text + std::string(line) + "\r\n";
}

void Read(std::string_view bytes, bool whole) {
    const std::vector<std::string> expected = TextLines(bytes);
    TextReader file("F");
    FUZZ_CHECK(file.Open() == 0);
    std::size_t count = 0;
    for (bool end = false;;) {
        std::string line;
        BoundedString bounded;
        FUZZ_CHECK((whole ? file.ReadFullLine(line, std::string::npos, end) : file.ReadLine(bounded, end)) == 0);
        if (end) break;
        if (!whole) line = bounded.Str();
        FUZZ_CHECK(count < expected.size());
        FUZZ_CHECK(line == (whole ? expected[count] : expected[count].substr(0, 255)));
        ++count;
    }
    FUZZ_CHECK(count == expected.size());
    // At the end a read gives nothing and tells the end again.
    BoundedString after;
    bool end = false;
    FUZZ_CHECK(file.ReadLine(after, end) == 0 && end && after.Empty());
    // Whether the text goes on after the ^Z that ended the reading.
    const std::size_t mark = bytes.find(kEndMark);
    bool textAfter = false;
    FUZZ_CHECK(file.TextAfterEndMark(textAfter) == 0);
    FUZZ_CHECK(textAfter ==
               (mark != std::string_view::npos && bytes.find_first_not_of(kEndMark, mark) != std::string_view::npos));
}

void Append(std::string_view bytes, std::string_view line) {
    platform::Handle handle = platform::kNoHandle;
    FUZZ_CHECK(platform::FileOpen("F", platform::Access::ReadWrite, handle) == 0);
    TextWriter file;
    file.Take(handle);
    FUZZ_CHECK(file.ToEnd() == 0 && file.WriteLine(line) == 0 && file.Close() == 0);
    FUZZ_CHECK(memory_platform::GetFile("F") == ExpectedAppend(bytes, line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    memory_platform::Reset();
    const std::string_view bytes = AsText(data + 1, size - 1);
    memory_platform::PutFile("F", bytes);
    switch (data[0] % 3) {
        case 0: Read(bytes, false); break;
        case 1: Read(bytes, true); break;
        default: Append(bytes, std::string(static_cast<std::size_t>(data[0] / 3), 'r')); break;
    }
    return 0;
}
