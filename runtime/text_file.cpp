// Text files: line reading (CR, CR LF or LF ends a line, ^Z ends the text),
// writes that reach the file whole or not at all, appending after the ^Z cut,
// and the pending error.
#include "runtime/text_file.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "runtime/io_error.hpp"
#include "runtime/numbers.hpp"

namespace {
constexpr char kEndMark = 26;  // ^Z: nothing after it is text
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;
constexpr int kTemporaryNames = 100;

// How many bytes at the end of UTF-8 text begin a character they do not finish.
std::size_t CutCharacterAtEnd(std::string_view text) {
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, text.size()); ++back) {
        const auto c = static_cast<unsigned char>(text[text.size() - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

}  // namespace

TextFile::~TextFile() {
    if (state_ != State::Closed && owned_) platform::FileClose(handle_);
}

void TextFile::Bind(platform::Path name) {
    name_ = std::string(name.text);
    shared_ = name.shared;
    state_ = State::Closed;
    handle_ = platform::kNoHandle;
    owned_ = false;
}

bool TextFile::Attach(int error, platform::Handle handle, bool owned, State state) {
    inputUsed_ = next_ = 0;
    lineEndFirst_ = skipLineFeed_ = cutBack_ = inputEnded_ = fromUtf8_ = lineLost_ = false;
    end_ = 0;
    if (error != 0) {
        SetIoError(error);
        state_ = State::Closed;
        return false;
    }
    handle_ = handle;
    owned_ = owned;
    state_ = state;
    return true;
}

void TextFile::OpenRead() {
    if (IsOpen()) Close();
    if (name_.empty()) {
        Attach(0, platform::StandardInput(), false, State::Reading);
        return;
    }
    platform::Handle handle = platform::kNoHandle;
    const int error = platform::FileOpen(Where(), platform::Access::Read, handle);
    Attach(error, handle, true, State::Reading);
}

void TextFile::Create() {
    if (IsOpen()) Close();
    if (name_.empty()) {
        Attach(0, platform::StandardOutput(), false, State::Writing);
        return;
    }
    platform::Handle handle = platform::kNoHandle;
    const int error = platform::FileCreate(Where(), handle);
    cutBack_ = Attach(error, handle, true, State::Writing);
}

void TextFile::CreateNew(Writers writers) {
    if (IsOpen()) Close();
    if (name_.empty()) {
        Attach(0, platform::StandardOutput(), false, State::Writing);
        return;
    }
    const platform::Access access = writers == Writers::Many ? platform::Access::Append : platform::Access::ReadWrite;
    platform::Handle handle = platform::kNoHandle;
    const int error = platform::FileCreateNew(Where(), access, handle);
    cutBack_ = Attach(error, handle, true, State::Writing) && writers == Writers::One;
}

void TextFile::OpenAppend(Writers writers) {
    if (IsOpen()) Close();
    // Where others add to the file too (the log), every write goes to its end
    // as it is at that moment, never over what they added meanwhile.
    const platform::Access access = writers == Writers::Many ? platform::Access::Append : platform::Access::ReadWrite;
    platform::Handle handle = platform::kNoHandle;
    const int error = name_.empty() ? kFileNotBound : platform::FileOpen(Where(), access, handle);
    if (!Attach(error, handle, true, State::Writing)) return;
    CutEndMarks(writers);
    cutBack_ = writers == Writers::One && !IoErrorPending();
}

// ^Z bytes at the very end are the padding old editors leave: they are cut
// away, and writing goes on where the text ends. A ^Z with text after it
// stays, text and all. Text that does not end in a line end gets one before
// the first new line, so that no request is glued onto an old one.
void TextFile::CutEndMarks(Writers writers) {
    std::int64_t size = 0;
    if (const int error = platform::FileSeekEnd(handle_, size)) return SetIoError(error);
    std::int64_t end = size;
    char last = '\n';
    std::array<char, 128> tail{};
    while (end > 0) {
        const int wanted = static_cast<int>(std::min<std::int64_t>(end, static_cast<std::int64_t>(tail.size())));
        int got = 0;
        if (const int error = platform::FileSeek(handle_, end - wanted)) return SetIoError(error);
        if (const int error = platform::FileRead(handle_, tail.data(), wanted, got)) return SetIoError(error);
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
    if (writers == Writers::One) {
        if (const int error = platform::FileSeek(handle_, end)) return SetIoError(error);
        if (const int error = platform::FileSetEnd(handle_)) return SetIoError(error);
        return;
    }
    // A handle that only appends cannot cut: one for reading and writing does.
    platform::Handle cutter = platform::kNoHandle;
    if (const int error = platform::FileOpen(Where(), platform::Access::ReadWrite, cutter)) return SetIoError(error);
    int error = platform::FileSeek(cutter, end);
    if (error == 0) error = platform::FileSetEnd(cutter);
    const int closed = platform::FileClose(cutter);
    SetIoError(error != 0 ? error : closed);
}

namespace {

std::string_view StemOf(std::string_view file) { return file.substr(0, file.find('.')); }

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperChar(x) == UpperChar(y); });
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

void TextFile::CreateTemporaryBeside(platform::Path path) {
    if (IsOpen()) Close();
    const std::string_view beside = path.text;
    const std::size_t slash = beside.find_last_of("\\/");
    const std::size_t fileStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string stem = std::string(beside.substr(0, fileStart)) + std::string(StemOf(beside.substr(fileStart))) + "." +
                             IntToText(platform::ProcessId());
    shared_ = path.shared;
    // A name that is taken, by the leftover of an earlier run that had the same
    // process id or by anything else, is never touched: the next one is tried.
    int error = 0;
    platform::Handle handle = platform::kNoHandle;
    for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
        name_ = attempt == 0 ? stem + ".tmp" : stem + "-" + IntToText(attempt) + ".tmp";
        error = platform::FileCreateNew(Where(), platform::Access::ReadWrite, handle);
        if (!platform::MeansAlreadyExists(error)) break;
    }
    cutBack_ = Attach(error, handle, true, State::Writing);
}

void TextFile::Close() {
    if (state_ == State::Closed) return SetIoError(kFileNotOpen);
    if (owned_)
        if (const int error = platform::FileClose(handle_)) SetIoError(error);
    state_ = State::Closed;
    handle_ = platform::kNoHandle;
    owned_ = false;
}

bool TextFile::CloseAfterReading() {
    const bool complete = TakeIoError() == 0;
    if (IsOpen()) Close();
    TakeIoError();
    return complete;
}

void TextFile::Fail(int error) {
    // The console's failures are not the run's: the files are still written.
    if (!console_) SetIoError(error);
}

void TextFile::Put(std::string_view bytes, platform::TextOrigin origin) {
    if (IoErrorPending()) return;
    if (state_ != State::Writing) return SetIoError(state_ == State::Closed ? kFileNotOpen : kFileNotOpenForWriting);
    if (!owned_) {
        // A file written but not opened by name is the process's standard output.
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

void TextFile::Write(std::string_view text, platform::TextOrigin origin) {
    if (lineEndFirst_ && !text.empty() && !IoErrorPending()) {
        Put("\r\n" + std::string(text), origin);
        if (!IoErrorPending()) lineEndFirst_ = false;
        return;
    }
    Put(text, origin);
}

void TextFile::WriteLine(std::string_view text, platform::TextOrigin origin) {
    std::string line(text);
    line += "\r\n";
    Write(line, origin);
}

int TextFile::Peek() {
    while (true) {
        if (next_ == inputUsed_) {
            if (inputEnded_) return -1;
            next_ = inputUsed_ = 0;
            if (input_.empty()) input_.resize(kReadSize);
            int got = 0;
            if (int error = platform::FileRead(handle_, input_.data(), kReadSize, got)) {
                SetIoError(error);
                return -1;
            }
            // A disk file's end stays its end for this reading; a console may
            // give more after an end of input, so it is asked again.
            if (got == 0) {
                inputEnded_ = owned_;
                return -1;
            }
            inputUsed_ = got;
        }
        const char c = input_[static_cast<std::size_t>(next_)];
        if (skipLineFeed_) {
            skipLineFeed_ = false;
            if (c == '\n') {
                ++next_;
                continue;
            }
        }
        return static_cast<unsigned char>(c);
    }
}

bool TextFile::AtEnd() {
    if (IoErrorPending() || state_ != State::Reading) return true;
    const int c = Peek();
    return c < 0 || c == kEndMark;
}

bool TextFile::TextAfterEndMark() {
    if (IoErrorPending() || state_ != State::Reading || Peek() != kEndMark) return false;
    while (Peek() == kEndMark) ++next_;
    return Peek() >= 0;
}

TextFile::Encoding TextFile::TakeByteOrderMark() {
    if (IoErrorPending() || state_ != State::Reading || next_ != 0) return Encoding::Bytes;
    // The marks are at most three bytes long; a pipe may bring them in pieces.
    if (input_.empty()) input_.resize(kReadSize);
    while (inputUsed_ < 3) {
        int got = 0;
        if (int error = platform::FileRead(handle_, input_.data() + inputUsed_, kReadSize - inputUsed_, got)) {
            SetIoError(error);
            return Encoding::Bytes;
        }
        if (got == 0) break;
        inputUsed_ += got;
    }
    const std::string_view start(input_.data(), static_cast<std::size_t>(inputUsed_));
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return Encoding::Utf16;
    if (!start.starts_with("\xEF\xBB\xBF")) return Encoding::Bytes;
    next_ = 3;
    fromUtf8_ = true;
    return Encoding::Utf8;
}

// Appends at most `limit` characters of the next line to `line`.
void TextFile::ReadLineUpTo(std::size_t limit, std::string& line) {
    if (IoErrorPending()) return;
    if (state_ != State::Reading) return SetIoError(state_ == State::Closed ? kFileNotOpen : kFileNotOpenForReading);
    const std::size_t start = line.size();
    while (true) {
        const int c = Peek();
        if (c < 0 || c == kEndMark) break;
        // The ordinary bytes up to the next line end or ^Z, in one piece.
        const char* begin = input_.data() + next_;
        const char* end = input_.data() + inputUsed_;
        const char* stop = std::find_if(begin, end, [](char b) { return b == '\r' || b == '\n' || b == kEndMark; });
        if (stop != begin) {
            const std::size_t room = limit - std::min(limit, line.size() - start);
            line.append(begin, std::min(room, static_cast<std::size_t>(stop - begin)));
            next_ += static_cast<int>(stop - begin);
            continue;
        }
        ++next_;
        if (c == '\r') {
            // Checked when the next byte is wanted, so a console is never
            // waited on for a byte that may not come.
            skipLineFeed_ = true;
            break;
        }
        if (c == '\n') break;
    }
}

BoundedString TextFile::ReadLine() {
    std::string line;
    lineLost_ = false;
    if (!fromUtf8_) {
        ReadLineUpTo(BoundedString::kCapacity, line);
        return BoundedString(line);
    }
    // 255 characters of UTF-8 take at most four bytes each. A line cut short
    // there loses the piece of a character at its end, which is no character
    // the code page lacks.
    constexpr std::size_t kUtf8Limit = 4 * BoundedString::kCapacity;
    ReadLineUpTo(kUtf8Limit, line);
    if (line.size() == kUtf8Limit) line.resize(line.size() - CutCharacterAtEnd(line));
    lineLost_ = !platform::AnsiFromUtf8(line);
    return BoundedString(line);
}

void TextFile::ReadFullLine(std::string& into, std::size_t most) { ReadLineUpTo(most, into); }

std::int64_t TextFile::Size() {
    if (IoErrorPending() || state_ != State::Reading || !owned_) return -1;
    std::int64_t size = 0;
    if (const int error = platform::FileSeekEnd(handle_, size)) return SetIoError(error), -1;
    if (const int error = platform::FileSeek(handle_, 0)) return SetIoError(error), -1;
    inputUsed_ = next_ = 0;
    skipLineFeed_ = inputEnded_ = false;
    return size;
}
