// Reading text files: the line rule (CR, CR LF or LF ends a line, ^Z ends
// the text) and the encoding (byte-order marks, UTF-8 without one).
#include "runtime/text_reader.hpp"

#include <algorithm>

#include "runtime/file_system.hpp"


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

TextReader::~TextReader() { Close(); }

int TextReader::Open() {
    if (open_) Close();
    input_.clear();
    inputUsed_ = next_ = 0;
    skipLineFeed_ = inputEnded_ = fromUtf8_ = lineLost_ = false;
    taken_ = 0;
    platform::Handle handle = platform::kNoHandle;
    if (const int error = platform::FileOpen(name_, platform::Access::Read, handle)) return error;
    handle_ = handle;
    open_ = true;
    return 0;
}

void TextReader::Close() {
    if (open_ && !borrowed_ && !name_.empty()) LetGo(handle_);
    open_ = false;
    handle_ = platform::kNoHandle;
}

int TextReader::Size(std::int64_t& size) {
    size = -1;
    if (!open_ || (name_.empty() && !borrowed_) || next_ != 0 || inputUsed_ != 0) return 0;
    std::int64_t end = 0;
    if (const int error = platform::FileSeekEnd(handle_, end)) return error;
    if (const int error = platform::FileSeek(handle_, 0)) return error;
    size = end;
    return 0;
}

int TextReader::Peek(int& c) {
    while (true) {
        if (next_ == inputUsed_) {
            c = -1;
            if (inputEnded_) return 0;
            next_ = inputUsed_ = 0;
            if (input_.empty()) input_.resize(kReadSize);
            int got = 0;
            if (const int error = platform::FileRead(handle_, input_.data(), kReadSize, got)) return error;
            // A disk file's end stays its end for this reading; a console may
            // give more after an end of input, so it is asked again.
            if (got == 0) {
                inputEnded_ = !name_.empty() || borrowed_;
                return 0;
            }
            inputUsed_ = got;
            taken_ += got;
        }
        const char byte = input_[static_cast<std::size_t>(next_)];
        if (skipLineFeed_) {
            skipLineFeed_ = false;
            if (byte == '\n') {
                ++next_;
                continue;
            }
        }
        c = static_cast<unsigned char>(byte);
        return 0;
    }
}

int TextReader::TextAfterEndMark(bool& after) {
    after = false;
    int c = 0;
    if (const int error = Peek(c); error != 0 || c != kEndMark) return error;
    while (c == kEndMark) {
        ++next_;
        if (const int error = Peek(c)) return error;
    }
    after = c >= 0;
    return 0;
}

int TextReader::ReadAhead(int size) {
    while (inputUsed_ < size && !inputEnded_) {
        // One read's worth more when the buffer is full: a short text is read
        // to its end in the room the first read left.
        if (static_cast<int>(input_.size()) == inputUsed_) input_.resize(input_.size() + kReadSize);
        const int room = static_cast<int>(input_.size()) - inputUsed_;
        int got = 0;
        if (const int error = platform::FileRead(handle_, input_.data() + inputUsed_, room, got)) return error;
        if (got == 0) {
            inputEnded_ = !name_.empty() || borrowed_;
            break;
        }
        const char* const end = input_.data() + inputUsed_ + got;
        inputUsed_ += got;
        taken_ += got;
        if (std::find(end - got, end, kEndMark) != end) break;
    }
    return 0;
}

// All of the text decides, not a line at a time: an editor saves a file in
// one encoding, and the more characters beyond ASCII are looked at, the less
// can ANSI text pass for UTF-8 by chance; so every line of a file is read
// the same way.
int TextReader::HoldsUtf8Ahead(bool& utf8) {
    if (const int error = ReadAhead(kEncodingLookahead)) return error;
    std::string_view text(input_.data(), static_cast<std::size_t>(inputUsed_));
    if (const std::size_t endMark = text.find(kEndMark); endMark != std::string_view::npos)
        text = text.substr(0, endMark);
    else if (!inputEnded_)
        text.remove_suffix(CutCharacterAtEnd(text));  // cut short by the lookahead, not by the file
    utf8 = HoldsUtf8Text(text);
    return 0;
}

int TextReader::DecideEncoding(Encoding& encoding) {
    encoding = Encoding::Bytes;
    if (!open_ || next_ != 0) return 0;
    // The marks are at most three bytes long; a pipe may bring them in pieces.
    if (const int error = ReadAhead(3)) return error;
    const std::string_view start(input_.data(), static_cast<std::size_t>(inputUsed_));
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
        encoding = Encoding::Utf16;
        return 0;
    }
    if (start.starts_with("\xEF\xBB\xBF")) {
        next_ = 3;
        fromUtf8_ = true;
    } else if (const int error = HoldsUtf8Ahead(fromUtf8_)) {
        // Notepad's "UTF-8" has no mark; its "UTF-8 with BOM" has one.
        return error;
    }
    if (fromUtf8_) encoding = Encoding::Utf8;
    return 0;
}

int TextReader::ReadLineUpTo(std::size_t limit, std::string& line, bool& end) {
    end = false;
    const std::size_t start = line.size();
    int c = 0;
    if (const int error = Peek(c)) return error;
    if (c < 0 || c == kEndMark) {
        end = true;
        return 0;
    }
    while (c >= 0 && c != kEndMark) {
        // The ordinary bytes up to the next line end or ^Z, in one piece.
        const char* begin = input_.data() + next_;
        const char* stop = std::find_if(begin, static_cast<const char*>(input_.data() + inputUsed_),
                                        [](char b) { return b == '\r' || b == '\n' || b == kEndMark; });
        if (stop != begin) {
            const std::size_t room = limit - std::min(limit, line.size() - start);
            line.append(begin, std::min(room, static_cast<std::size_t>(stop - begin)));
            next_ += static_cast<int>(stop - begin);
        } else {
            ++next_;
            // A CR's LF is looked for when the next byte is wanted, so a
            // console is never waited on for a byte that may not come.
            if (c == '\r') skipLineFeed_ = true;
            if (c == '\r' || c == '\n') return 0;
        }
        if (const int error = Peek(c)) return error;
    }
    return 0;
}

int TextReader::ReadLine(BoundedString& line, bool& end) {
    // 255 characters of UTF-8 take at most four bytes each. A line cut short
    // there loses the piece of a character at its end, which is no character
    // the code page lacks.
    const std::size_t limit = fromUtf8_ ? 4 * BoundedString::kCapacity : BoundedString::kCapacity;
    std::string text;
    const int error = ReadLineUpTo(limit, text, end);
    if (fromUtf8_ && text.size() == limit) text.resize(text.size() - CutCharacterAtEnd(text));
    lineLost_ = fromUtf8_ && !platform::AnsiFromUtf8(text);
    line = BoundedString(text);
    return error;
}

int TextReader::ReadFullLine(std::string& into, std::size_t most, bool& end) { return ReadLineUpTo(most, into, end); }
