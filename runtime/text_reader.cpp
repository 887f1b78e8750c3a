// Reading text files: the line rule (CR, CR LF or LF ends a line, ^Z ends
// the text), the encoding (byte-order marks, UTF-8 without one), and the
// pending I/O error.
#include "runtime/text_reader.hpp"

#include <algorithm>

#include "runtime/errors.hpp"

namespace {
constexpr char kEndMark = 26;  // ^Z: nothing after it is text

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

// How many bytes from the start of `text` are whole, well-formed UTF-8
// characters. The range of the byte after a lead byte is what rules out the
// overlong forms (E0 80..9F, F0 80..8F), the surrogates (ED A0..BF) and what
// lies above U+10FFFF (F4 90..BF); C0, C1 and F5..FF lead nothing.
std::size_t WellFormedUtf8(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        std::size_t length = 4;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
        else if (lead < 0xF0 || lead > 0xF4) return at;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
        if (text.size() - at < length) return at;
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return at;
        }
        at += length;
    }
    return at;
}

}  // namespace

bool HoldsUtf8Text(std::string_view bytes) {
    const bool beyondAscii =
        std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return beyondAscii && WellFormedUtf8(bytes) == bytes.size();
}

TextReader::~TextReader() {
    if (open_ && !borrowed_ && !name_.empty()) platform::FileClose(handle_);
}

void TextReader::Open() {
    if (open_) Close();
    input_.clear();
    inputUsed_ = next_ = 0;
    skipLineFeed_ = inputEnded_ = fromUtf8_ = lineLost_ = false;
    taken_ = 0;
    platform::Handle handle = platform::StandardInputHandle();
    if (!name_.empty())
        if (const int error = platform::FileOpen(name_, platform::Access::Read, handle)) return SetIoError(error);
    handle_ = handle;
    open_ = true;
}

bool TextReader::Close() {
    const bool complete = TakeIoError() == 0 && open_;
    if (open_ && !borrowed_ && !name_.empty()) platform::FileClose(handle_);
    open_ = false;
    handle_ = platform::kNoHandle;
    TakeIoError();
    return complete;
}

std::int64_t TextReader::Size() {
    if (IoErrorPending() || !open_ || (name_.empty() && !borrowed_) || next_ != 0 || inputUsed_ != 0) return -1;
    std::int64_t size = 0;
    if (const int error = platform::FileSeekEnd(handle_, size)) return SetIoError(error), -1;
    if (const int error = platform::FileSeek(handle_, 0)) return SetIoError(error), -1;
    return size;
}

int TextReader::Peek() {
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
                inputEnded_ = !name_.empty() || borrowed_;
                return -1;
            }
            inputUsed_ = got;
            taken_ += got;
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

bool TextReader::AtEnd() {
    if (IoErrorPending() || !open_) return true;
    const int c = Peek();
    return c < 0 || c == kEndMark;
}

bool TextReader::TextAfterEndMark() {
    if (IoErrorPending() || !open_ || Peek() != kEndMark) return false;
    while (Peek() == kEndMark) ++next_;
    return Peek() >= 0;
}

bool TextReader::ReadAhead(int size) {
    while (inputUsed_ < size && !inputEnded_) {
        // One read's worth more when the buffer is full: a short text is read
        // to its end in the room the first read left.
        if (static_cast<int>(input_.size()) == inputUsed_) input_.resize(input_.size() + kReadSize);
        const int room = static_cast<int>(input_.size()) - inputUsed_;
        int got = 0;
        if (const int error = platform::FileRead(handle_, input_.data() + inputUsed_, room, got)) {
            SetIoError(error);
            return false;
        }
        if (got == 0) {
            inputEnded_ = !name_.empty() || borrowed_;
            break;
        }
        const char* const end = input_.data() + inputUsed_ + got;
        inputUsed_ += got;
        taken_ += got;
        if (std::find(end - got, end, kEndMark) != end) break;
    }
    return true;
}

// All of the text decides, not a line at a time: an editor saves a file in
// one encoding, and the more characters beyond ASCII are looked at, the less
// can ANSI text pass for UTF-8 by chance; so every line of a file is read
// the same way.
bool TextReader::HoldsUtf8Ahead() {
    if (!ReadAhead(kEncodingLookahead)) return false;
    std::string_view text(input_.data(), static_cast<std::size_t>(inputUsed_));
    if (const std::size_t endMark = text.find(kEndMark); endMark != std::string_view::npos)
        text = text.substr(0, endMark);
    else if (!inputEnded_)
        text.remove_suffix(CutCharacterAtEnd(text));  // cut short by the lookahead, not by the file
    return HoldsUtf8Text(text);
}

TextReader::Encoding TextReader::DecideEncoding() {
    if (IoErrorPending() || !open_ || next_ != 0) return Encoding::Bytes;
    // The marks are at most three bytes long; a pipe may bring them in pieces.
    if (!ReadAhead(3)) return Encoding::Bytes;
    const std::string_view start(input_.data(), static_cast<std::size_t>(inputUsed_));
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) return Encoding::Utf16;
    if (start.starts_with("\xEF\xBB\xBF")) {
        next_ = 3;
        fromUtf8_ = true;
    } else {
        // Notepad's "UTF-8" has no mark; its "UTF-8 with BOM" has one.
        fromUtf8_ = HoldsUtf8Ahead();
    }
    return fromUtf8_ ? Encoding::Utf8 : Encoding::Bytes;
}

// Appends at most `limit` characters of the next line to `line`.
void TextReader::ReadLineUpTo(std::size_t limit, std::string& line) {
    if (IoErrorPending()) return;
    if (!open_) return SetIoError(kFileNotOpen);
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

BoundedString TextReader::ReadLine() {
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

void TextReader::ReadFullLine(std::string& into, std::size_t most) { ReadLineUpTo(most, into); }

