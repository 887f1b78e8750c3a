// Text files: line reading (CR, CR LF or LF ends a line, ^Z ends the text),
// the 128-byte write buffer, appending after the ^Z cut, and the pending error.
#include "runtime/text_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "runtime/io_error.hpp"

namespace {
constexpr char kEndMark = 26;  // ^Z: nothing after it is text
}

TextFile::~TextFile() {
    if (state_ != State::Closed && owned_) platform::FileClose(handle_);
}

void TextFile::Bind(std::string_view name) {
    name_ = std::string(name);
    state_ = State::Closed;
    handle_ = platform::kNoHandle;
    owned_ = false;
}

bool TextFile::Attach(int error, platform::Handle handle, bool owned, State state) {
    used_ = inputUsed_ = next_ = 0;
    lineEndFirst_ = skipLineFeed_ = false;
    if (error != 0) {
        SetIoError(error);
        state_ = State::Closed;
        return false;
    }
    handle_ = handle;
    owned_ = owned;
    state_ = state;
    passOn_ = !owned || platform::FileIsDevice(handle);
    return true;
}

void TextFile::OpenRead() {
    if (IsOpen()) Close();
    if (name_.empty()) {
        Attach(0, platform::StandardInput(), false, State::Reading);
        return;
    }
    platform::Handle handle = platform::kNoHandle;
    const int error = platform::FileOpen(name_, platform::Access::Read, handle);
    Attach(error, handle, true, State::Reading);
}

// The empty name writes to standard output; any other is made by `make`.
void TextFile::OpenForWriting(int (*make)(std::string_view, platform::Handle&)) {
    if (IsOpen()) Close();
    if (name_.empty()) {
        Attach(0, platform::StandardOutput(), false, State::Writing);
        return;
    }
    platform::Handle handle = platform::kNoHandle;
    const int error = make(name_, handle);
    Attach(error, handle, true, State::Writing);
}

void TextFile::Create() { OpenForWriting(platform::FileCreate); }

void TextFile::CreateNew() { OpenForWriting(platform::FileCreateNew); }

void TextFile::OpenAppend() {
    if (IsOpen()) Close();
    platform::Handle handle = platform::kNoHandle;
    const int error = name_.empty() ? ENOENT : platform::FileOpen(name_, platform::Access::ReadWrite, handle);
    if (Attach(error, handle, true, State::Writing)) CutAtEndMark();
}

// A ^Z in the last 128 bytes ends the old text: the file is cut at the first
// one, and writing goes on there. Text that does not end in a line end gets
// one before the first new line, so that no request is glued onto an old one.
void TextFile::CutAtEndMark() {
    std::int64_t size = 0;
    if (int error = platform::FileSeekEnd(handle_, size)) return SetIoError(error);
    // One byte more than the 128 searched, to see what stands before the cut.
    const std::int64_t start = std::max<std::int64_t>(0, size - (kBufferSize + 1));
    std::array<char, kBufferSize + 1> tail{};
    int got = 0;
    if (int error = platform::FileSeek(handle_, start)) return SetIoError(error);
    if (int error = platform::FileRead(handle_, tail.data(), static_cast<int>(size - start), got)) return SetIoError(error);
    const int searchFrom = std::max(0, got - kBufferSize);
    int end = got;
    for (int i = searchFrom; i < got; ++i)
        if (tail[static_cast<std::size_t>(i)] == kEndMark) {
            end = i;
            break;
        }
    if (int error = platform::FileSeek(handle_, start + end)) return SetIoError(error);
    if (end < got)
        if (int error = platform::FileSetEnd(handle_)) return SetIoError(error);
    if (end > 0) {
        const char last = tail[static_cast<std::size_t>(end - 1)];
        lineEndFirst_ = last != '\r' && last != '\n';
    }
}

void TextFile::Close() {
    if (state_ == State::Closed) return SetIoError(kFileNotOpen);
    if (state_ == State::Writing) WriteOut();
    if (owned_)
        if (int error = platform::FileClose(handle_)) SetIoError(error);
    state_ = State::Closed;
    handle_ = platform::kNoHandle;
    owned_ = false;
}

void TextFile::Fail(int error) {
    // The console's failures are not the run's: the files are still written.
    if (!console_) SetIoError(error);
}

void TextFile::WriteOut() {
    if (used_ == 0) return;
    const int error = platform::FileWrite(handle_, buffer_.data(), used_);
    used_ = 0;
    if (error != 0) Fail(error);
}

void TextFile::Put(std::string_view bytes) {
    if (IoErrorPending()) return;
    if (state_ != State::Writing) return SetIoError(state_ == State::Closed ? kFileNotOpen : kFileNotOpenForWriting);
    if (passOn_) {
        if (int error = platform::FileWrite(handle_, bytes.data(), static_cast<int>(bytes.size()))) Fail(error);
        return;
    }
    // Whole buffers' worth go on in one piece, as they would one by one.
    if (used_ == 0 && bytes.size() >= buffer_.size()) {
        const std::size_t whole = bytes.size() - bytes.size() % buffer_.size();
        if (int error = platform::FileWrite(handle_, bytes.data(), static_cast<int>(whole))) return Fail(error);
        bytes.remove_prefix(whole);
    }
    while (!bytes.empty()) {
        const std::size_t room = buffer_.size() - static_cast<std::size_t>(used_);
        const std::size_t taken = std::min(room, bytes.size());
        std::copy_n(bytes.data(), taken, buffer_.begin() + used_);
        used_ += static_cast<int>(taken);
        bytes.remove_prefix(taken);
        if (used_ == kBufferSize) {
            WriteOut();
            if (IoErrorPending()) return;
        }
    }
}

void TextFile::Write(std::string_view text) {
    if (lineEndFirst_ && !text.empty() && !IoErrorPending()) {
        lineEndFirst_ = false;
        Put("\r\n" + std::string(text));
        return;
    }
    Put(text);
}

void TextFile::WriteLine(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    Write(line);
}

int TextFile::Peek() {
    while (true) {
        if (next_ == inputUsed_) {
            next_ = inputUsed_ = 0;
            if (input_.empty()) input_.resize(kReadSize);
            int got = 0;
            if (int error = platform::FileRead(handle_, input_.data(), kReadSize, got)) {
                SetIoError(error);
                return -1;
            }
            if (got == 0) return -1;
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
    if (start.starts_with("\xEF\xBB\xBF")) next_ = 3;
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return Encoding::Utf16;
    return Encoding::Bytes;
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
    ReadLineUpTo(BoundedString::kCapacity, line);
    return BoundedString(line);
}

void TextFile::ReadFullLine(std::string& into) { ReadLineUpTo(std::string::npos, into); }

TextFile& StandardInput() {
    static TextFile input;
    static const bool opened = (input.OpenRead(), true);
    (void)opened;
    return input;
}

TextFile& StandardOutput() {
    static TextFile output;
    static const bool created = (output.Create(), output.MarkAsConsole(), true);
    (void)created;
    return output;
}

void EndRun(unsigned code) {
    if (StandardInput().IsOpen()) StandardInput().Close();
    if (StandardOutput().IsOpen()) StandardOutput().Close();
    platform::EndProcess(code);
}

void ProbeOpenClose(std::string_view name, platform::Access access) {
    if (name.empty()) return;
    platform::Handle handle = platform::kNoHandle;
    if (int error = platform::FileOpen(name, access, handle)) return SetIoError(error);
    SetIoError(platform::FileClose(handle));
}
