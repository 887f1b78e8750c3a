// Writing text files: whole writes, appending after the ^Z cut, temporary
// copies, and the writer's own error.
#include "runtime/text_writer.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "runtime/bounded.hpp"
#include "runtime/errors.hpp"
#include "runtime/numbers.hpp"

namespace {

constexpr char kEndMark = 26;  // ^Z: nothing after it is text
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;
constexpr int kTemporaryNames = 100;

std::string_view StemOf(std::string_view file) { return file.substr(0, file.find('.')); }

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperChar(x) == UpperChar(y); });
}

platform::Access AccessFor(Writers writers) {
    // Where others add to the file too (the log), every write goes to its
    // end as it is at that moment, never over what they added meanwhile.
    return writers == Writers::Many ? platform::Access::Append : platform::Access::ReadWrite;
}

}  // namespace

bool IsTemporaryCopyOf(std::string_view name, std::string_view file) {
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

TextWriter::~TextWriter() {
    if (open_ && !name_.empty()) platform::FileClose(handle_);
}

void TextWriter::Bind(platform::Path name) {
    if (open_) Close();
    name_ = std::string(name.Text);
    shared_ = name.Shared;
}

void TextWriter::Opened(int error, platform::Handle handle, bool cutBack) {
    lineEndFirst_ = false;
    end_ = 0;
    if (error != 0) return Fail(error);
    handle_ = handle;
    open_ = true;
    cutBack_ = cutBack;
}

void TextWriter::OpenStandardOutput() {
    if (open_) Close();
    name_.clear();
    Opened(0, platform::StandardOutputHandle(), false);
}

void TextWriter::CreateNew(Writers writers) {
    if (open_) Close();
    if (name_.empty()) return Opened(0, platform::StandardOutputHandle(), false);
    platform::Handle handle = platform::kNoHandle;
    const int error = platform::FileCreateNew(Where(), AccessFor(writers), handle);
    Opened(error, handle, writers == Writers::One);
}

void TextWriter::OpenAppend(Writers writers) {
    if (open_) Close();
    platform::Handle handle = platform::kNoHandle;
    const int error = name_.empty() ? kFileNotBound : platform::FileOpen(Where(), AccessFor(writers), handle);
    Opened(error, handle, writers == Writers::One);
    if (open_) CutEndMarks(writers);
}

// ^Z bytes at the very end are the padding old editors leave: they are cut
// away, and writing goes on where the text ends. A ^Z with text after it
// stays, text and all. Text that does not end in a line end gets one before
// the first new line, so that no request is glued onto an old one.
void TextWriter::CutEndMarks(Writers writers) {
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
    // A handle that only appends (the log's) cannot cut: a second one, for
    // reading and writing, does; a request file's own handle is such a one,
    // and is left at the new end.
    platform::Handle cutter = handle_;
    if (writers == Writers::Many)
        if (const int error = platform::FileOpen(Where(), platform::Access::ReadWrite, cutter)) return Fail(error);
    int error = platform::FileSeek(cutter, end);
    if (error == 0) error = platform::FileSetEnd(cutter);
    if (writers == Writers::Many)
        if (const int closed = platform::FileClose(cutter); error == 0) error = closed;
    Fail(error);
}

void TextWriter::CreateTemporaryBeside(platform::Path path) {
    if (open_) Close();
    const std::size_t fileStart = path.NameAt();
    const std::string stem = std::string(path.Text.substr(0, fileStart)) +
                             std::string(StemOf(path.Text.substr(fileStart))) + "." + IntToText(platform::ProcessId());
    shared_ = path.Shared;
    // A name that is taken, by the leftover of an earlier run that had the same
    // process id or by anything else, is never touched: the next one is tried.
    int error = 0;
    platform::Handle handle = platform::kNoHandle;
    for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
        name_ = attempt == 0 ? stem + ".tmp" : stem + "-" + IntToText(attempt) + ".tmp";
        error = platform::FileCreateNew(Where(), platform::Access::ReadWrite, handle);
        if (!platform::MeansAlreadyExists(error)) break;
    }
    Opened(error, handle, true);
}

void TextWriter::Close() {
    if (!open_) return Fail(kFileNotOpen);
    if (!name_.empty())
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
    if (name_.empty()) {
        if (const int error = platform::ConsoleWrite(handle_, bytes, origin)) Fail(error);
        return;
    }
    const std::int64_t start = end_;
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), kLargestWrite);
        if (const int error = platform::FileWrite(handle_, bytes.data(), static_cast<int>(piece))) {
            // Part of the bytes may have reached the file: they are cut off
            // again, so that a request file never ends in half a line.
            if (cutBack_ && platform::FileSeek(handle_, start) == 0 && platform::FileSetEnd(handle_) == 0) end_ = start;
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
