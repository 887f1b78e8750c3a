// Writing text files: whole writes, appending after the ^Z cut, and the
// writer's own error.
#include "runtime/text_writer.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "runtime/errors.hpp"

namespace {

constexpr char kEndMark = 26;  // ^Z: nothing after it is text
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;

}  // namespace

TextWriter::~TextWriter() {
    if (open_ && !standard_) platform::FileClose(handle_);
}

void TextWriter::OpenStandardOutput() {
    if (open_) Close();
    Take(platform::StandardOutputHandle());
    standard_ = true;
}

void TextWriter::Take(platform::Handle handle, Writers writers) {
    if (open_) Close();
    handle_ = handle;
    open_ = true;
    standard_ = false;
    writers_ = writers;
    end_ = 0;
    lineEndFirst_ = false;
}

platform::Handle TextWriter::Release() {
    open_ = false;
    return std::exchange(handle_, platform::kNoHandle);
}

// ^Z bytes at the very end are the padding old editors leave: they are cut
// away, and writing goes on where the text ends. A ^Z with text after it
// stays, text and all. Text that does not end in a line end gets one before
// the first new line, so that no request is glued onto an old one.
void TextWriter::ToEnd() {
    if (!open_) return Fail(kFileNotOpen);
    std::int64_t size = 0;
    if (const int error = platform::FileSeekEnd(handle_, size)) return Fail(error);
    std::int64_t end = size;
    char last = '\n';
    std::array<char, 128> tail{};
    while (end > 0) {
        const int wanted = static_cast<int>(std::min<std::int64_t>(end, static_cast<std::int64_t>(tail.size())));
        int got = 0;
        if (const int error = platform::FileSeek(handle_, end - wanted)) return Fail(error);
        if (const int error = platform::FileRead(handle_, tail.data(), wanted, got)) return Fail(error);
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
    if (end == size) return;
    int error = platform::FileSeek(handle_, end);
    if (error == 0) error = platform::FileSetEnd(handle_);
    Fail(error);
}

void TextWriter::Close() {
    if (!open_) return Fail(kFileNotOpen);
    if (!standard_)
        if (const int error = platform::FileClose(handle_)) Fail(error);
    open_ = false;
    handle_ = platform::kNoHandle;
}

int TextWriter::TakeError() { return std::exchange(error_, 0); }

void TextWriter::Fail(int error) {
    // The console's failures are nobody's: the files are still written.
    if (error != 0 && !console_ && error_ == 0) error_ = error;
}

void TextWriter::Put(std::string_view bytes, platform::TextOrigin origin) {
    if (error_ != 0) return;
    if (!open_) return Fail(kFileNotOpen);
    if (standard_) {
        if (const int error = platform::ConsoleWrite(handle_, bytes, origin)) Fail(error);
        return;
    }
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
            return Fail(error);
        }
        bytes.remove_prefix(piece);
        end_ += static_cast<std::int64_t>(piece);
    }
}

void TextWriter::Write(std::string_view text, platform::TextOrigin origin) {
    if (lineEndFirst_ && !text.empty() && error_ == 0) {
        Put("\r\n" + std::string(text), origin);
        if (error_ == 0) lineEndFirst_ = false;
        return;
    }
    Put(text, origin);
}

void TextWriter::WriteLine(std::string_view text, platform::TextOrigin origin) {
    std::string line(text);
    line += "\r\n";
    Write(line, origin);
}
