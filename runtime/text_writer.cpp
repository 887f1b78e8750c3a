// Writing text files: whole writes, and appending after the ^Z cut.
#include "runtime/text_writer.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "runtime/errors.hpp"
#include "runtime/file_system.hpp"

namespace {

constexpr char kEndMark = 26;  // ^Z: nothing after it is text
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;

}  // namespace

TextWriter::~TextWriter() {
    if (IsOpen()) LetGo(handle_);
}

void TextWriter::Take(platform::Handle handle, Writers writers) {
    if (IsOpen()) LetGo(handle_);
    handle_ = handle;
    writers_ = writers;
    end_ = 0;
    lineEndFirst_ = false;
}

platform::Handle TextWriter::Release() { return std::exchange(handle_, platform::kNoHandle); }

// ^Z bytes at the very end are the padding old editors leave: they are cut
// away, and writing goes on where the text ends. A ^Z with text after it
// stays, text and all. Text that does not end in a line end gets one before
// the first new line, so that no request is glued onto an old one.
int TextWriter::ToEnd() {
    if (!IsOpen()) return kFileNotOpen;
    std::int64_t size = 0;
    if (const int error = platform::FileSeekEnd(handle_, size)) return error;
    std::int64_t end = size;
    char last = '\n';
    std::array<char, 128> tail{};
    while (end > 0) {
        const int wanted = static_cast<int>(std::min<std::int64_t>(end, static_cast<std::int64_t>(tail.size())));
        int got = 0;
        if (const int error = platform::FileSeek(handle_, end - wanted)) return error;
        if (const int error = platform::FileRead(handle_, tail.data(), wanted, got)) return error;
        // Only this run writes a request file while its flag is held, and
        // other runs only add to a log: a file that shrinks meanwhile ends
        // where the read found its end, and nothing more is cut.
        if (got < wanted) {
            end -= wanted - got;
            break;
        }
        int text = got;
        while (text > 0 && tail[static_cast<std::size_t>(text - 1)] == kEndMark) --text;
        end -= got - text;
        if (text > 0) {
            last = tail[static_cast<std::size_t>(text - 1)];
            break;
        }
    }
    end_ = end;
    lineEndFirst_ = last != '\r' && last != '\n';
    // The last read left the position at the old end: only a cut moves it.
    if (end == size) return 0;
    if (const int error = platform::FileSeek(handle_, end)) return error;
    return platform::FileSetEnd(handle_);
}

int TextWriter::Close() {
    if (!IsOpen()) return kFileNotOpen;
    return platform::FileClose(std::exchange(handle_, platform::kNoHandle));
}

int TextWriter::Put(std::string_view bytes) {
    if (!IsOpen()) return kFileNotOpen;
    const std::int64_t start = end_;
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), kLargestWrite);
        if (const int error = platform::FileWrite(handle_, bytes.data(), static_cast<int>(piece))) {
            // Part of the bytes may have reached the file: they are cut off
            // again, so that a request file never ends in half a line. Where
            // others add to the file too (the log), nothing is cut: it would
            // take their lines with it.
            if (writers_ == Writers::One && platform::FileSeek(handle_, start) == 0 && platform::FileSetEnd(handle_) == 0)
                end_ = start;
            return error;
        }
        bytes.remove_prefix(piece);
        end_ += static_cast<std::int64_t>(piece);
    }
    return 0;
}

int TextWriter::Write(std::string_view text) {
    if (!lineEndFirst_ || text.empty()) return Put(text);
    if (const int error = Put("\r\n" + std::string(text))) return error;
    lineEndFirst_ = false;
    return 0;
}

int TextWriter::WriteLine(std::string_view text) { return Write(std::string(text) + "\r\n"); }
