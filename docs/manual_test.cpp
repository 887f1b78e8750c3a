// The manual names every text the program can print: the texts of
// config/console_texts.hpp (namespace text; the Russian ones turned from their
// CP866 bytes back into UTF-8) are looked for in the manual page, as a reader
// sees it, and in its plain-text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "config/console_texts.hpp"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Trim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// ---- The console texts -------------------------------------------------

// Every declaration of namespace text; a new one must be added here, which
// EveryDeclarationIsListed asks for.
constexpr int kDeclarations = 29;
const std::vector<std::string_view> kTexts = {
    text::kBanner, text::kUsage[0], text::kUsage[1], text::kUsage[2], text::kUsage[3], text::kUnableToOpen,
    text::kUtf16Before, text::kUtf16After, text::kTooManyZones, text::kDefaultNodeTooLong, text::kNoDefaultNode,
    text::kNotInCodePageBefore, text::kNotInCodePageAfter,
    text::kAskFiles, text::kAskNodes, text::kNoAddressItem, text::kTooManyFiles, text::kNoAddress, text::kBadAddress,
    text::kTooManyAddresses, text::kNoFile, text::kBadFileName, text::kNoOutbound, text::kCannotFindDirectory,
    text::kBusyBefore, text::kBusyAfter, text::kUnableToWrite, text::kNoMemoryFor, text::kNoMemory, text::kAlreadyExists, text::kRequestedFrom,
    text::kGoodbye};

// A text as the manual spells it: the Cyrillic letters of CP866 in UTF-8.
std::string Utf8(std::string_view cp866) {
    std::string out;
    for (const unsigned char c : cp866) {
        if (c < 0x80) AppendUtf8(out, c);
        else if (c < 0xB0) AppendUtf8(out, 0x410 + c - 0x80u);  // А..п
        else if (c >= 0xE0 && c < 0xF0) AppendUtf8(out, 0x440 + c - 0xE0u);  // р..я
        else AppendUtf8(out, c == 0xF0 ? 0x401 : 0x451);  // Ё, ё
    }
    return out;
}

std::vector<std::string> ProgramTexts() {
    std::vector<std::string> texts;
    for (std::string_view text : kTexts) texts.push_back(Utf8(text));
    return texts;
}

// ---- The manual as a reader sees it -------------------------------------

// One line with its escapes resolved: \[uXXXX] and the few named characters
// the page uses become UTF-8, font changes and zero-width marks vanish.
std::string ResolveEscapes(std::string_view line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            out += line[i];
            continue;
        }
        const char kind = line[++i];
        std::string name;
        if (kind == '(') {
            name = std::string(line.substr(i + 1, 2));
            i += 2;
        } else if (kind == '[') {
            const std::size_t close = line.find(']', i);
            name = std::string(line.substr(i + 1, close - i - 1));
            i = close;
        }
        if (kind == 'f') {
            if (line[i + 1] == '[') i = line.find(']', i);
            else if (line[i + 1] == '(') i += 3;
            else i += 1;
        } else if (kind == '(' || kind == '[') {
            if (name.size() == 5 && name[0] == 'u') AppendUtf8(out, std::stoul(name.substr(1), nullptr, 16));
            else if (name == "dq") out += '"';
            else if (name == "aq") out += '\'';
            else if (name == "rs") out += '\\';
            else if (name == "bu") out += "*";
            else out += "\\(" + name;
        } else if (kind == 'e' || kind == '\\') {
            out += '\\';
        } else if (kind == '-') {
            out += '-';
        } else if (kind == ' ' || kind == '~') {
            out += ' ';
        } else if (kind != '&' && kind != '|' && kind != '^' && kind != 'c') {
            out += '\\';
            out += kind;
        }
    }
    return out;
}

// The arguments of a macro line, quotes taken off.
std::vector<std::string> MacroArguments(std::string_view rest) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < rest.size()) {
        if (rest[i] == ' ') {
            ++i;
            continue;
        }
        std::string arg;
        if (rest[i] == '"') {
            for (++i; i < rest.size(); ++i) {
                if (rest[i] == '"' && i + 1 < rest.size() && rest[i + 1] == '"') arg += '"', ++i;
                else if (rest[i] == '"') break;
                else arg += rest[i];
            }
            ++i;
        } else {
            while (i < rest.size() && rest[i] != ' ') arg += rest[i++];
        }
        args.push_back(arg);
    }
    return args;
}

// The page's text line by line: text lines as they are, the arguments of
// font and heading macros joined as groff joins them, other requests and
// comments dropped.
std::string ManualText(std::string_view roff) {
    static const std::vector<std::string> kJoinedWithBlanks = {"B", "I", "SH", "SS", "TP", "IP", "SM", "SB"};
    static const std::vector<std::string> kJoinedTight = {"BI", "IB", "BR", "RB", "IR", "RI"};
    std::string text;
    std::size_t start = 0;
    while (start < roff.size()) {
        std::size_t end = roff.find('\n', start);
        if (end == std::string_view::npos) end = roff.size();
        const std::string_view line = roff.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.substr(0, 3) == ".\\\"") continue;
        if (line[0] != '.' && line[0] != '\'') {
            text += ResolveEscapes(line) + "\n";
            continue;
        }
        const std::size_t blank = line.find(' ');
        const std::string macro(line.substr(1, blank == std::string_view::npos ? std::string_view::npos : blank - 1));
        const std::vector<std::string> args =
            blank == std::string_view::npos ? std::vector<std::string>() : MacroArguments(line.substr(blank + 1));
        const bool tight = std::find(kJoinedTight.begin(), kJoinedTight.end(), macro) != kJoinedTight.end();
        const bool spaced = std::find(kJoinedWithBlanks.begin(), kJoinedWithBlanks.end(), macro) != kJoinedWithBlanks.end();
        if (!tight && !spaced) continue;
        std::string joined;
        for (const std::string& arg : args) joined += (joined.empty() || tight ? "" : " ") + arg;
        text += ResolveEscapes(joined) + "\n";
    }
    return text;
}

// The texts a manual does not show, each without its leading and trailing
// blanks (which a page cannot show; it says that the messages begin with one).
std::vector<std::string> MissingTexts(const std::vector<std::string>& texts, std::string_view manual) {
    std::vector<std::string> missing;
    for (const std::string& text : texts) {
        const std::string shown = Trim(text);
        if (!shown.empty() && manual.find(shown) == std::string_view::npos) missing.push_back(shown);
    }
    return missing;
}

std::string Listed(const std::vector<std::string>& texts) {
    std::string list;
    for (const std::string& t : texts) list += "\n  \"" + t + "\"";
    return list;
}


// ---- Tests --------------------------------------------------------------

TEST(ConsoleTexts, EveryDeclarationIsListed) {
    const std::string header = ReadFile(TOLVEX_CONSOLE_TEXTS);
    int declared = 0;
    for (std::size_t at = header.find("inline constexpr"); at != std::string::npos; at = header.find("inline constexpr", at + 1))
        ++declared;
    EXPECT_EQ(declared, kDeclarations) << "a text of " << TOLVEX_CONSOLE_TEXTS << " is missing from kTexts here";
    EXPECT_EQ(Utf8(text::kNoFile), " Ошибка! Отсутствует файл.");
}

TEST(Manual, ShowsEveryConsoleText) {
    const std::string manual = ManualText(ReadFile(TOLVEX_MANUAL));
    EXPECT_TRUE(MissingTexts(ProgramTexts(), manual).empty())
        << TOLVEX_MANUAL << " does not show these texts of the program:" << Listed(MissingTexts(ProgramTexts(), manual));
}

TEST(Manual, PlainTextFormShowsEveryConsoleText) {
    if (std::string_view(TOLVEX_MANUAL_TEXT).empty()) GTEST_SKIP() << "groff is missing: there is no tolvex.txt";
    const std::string text = ReadFile(TOLVEX_MANUAL_TEXT);
    EXPECT_TRUE(MissingTexts(ProgramTexts(), text).empty())
        << TOLVEX_MANUAL_TEXT << " does not show these texts of the program:" << Listed(MissingTexts(ProgramTexts(), text));
}

// Each text in turn left out of the page (every line that shows it removed)
// is reported: the check above cannot pass by looking in the wrong place.
TEST(Manual, ATextLeftOutIsReported) {
    const std::vector<std::string> texts = ProgramTexts();
    const std::string roff = ReadFile(TOLVEX_MANUAL);
    for (const std::string& text : texts) {
        const std::string shown = Trim(text);
        if (shown.empty()) continue;
        std::string without;
        std::size_t start = 0;
        while (start < roff.size()) {
            const std::size_t end = std::min(roff.find('\n', start), roff.size());
            const std::string line = roff.substr(start, end - start + 1);
            if (ManualText(line).find(shown) == std::string::npos) without += line;
            start = end + 1;
        }
        const std::vector<std::string> missing = MissingTexts(texts, ManualText(without));
        EXPECT_NE(std::find(missing.begin(), missing.end(), shown), missing.end()) << "not reported: " << shown;
    }
}

TEST(Manual, VersionAndDateComeFromTheBuild) {
    const std::string roff = ReadFile(TOLVEX_MANUAL);
    const std::string heading = std::string(".TH TOLVEX 1 \"") + TOLVEX_RELEASE_DATE + "\" \"tolvex " + TOLVEX_VERSION + "\"";
    EXPECT_NE(roff.find(heading), std::string::npos) << "the page's heading is not " << heading;
    EXPECT_EQ(roff.find("@PROJECT_"), std::string::npos) << "a placeholder of the build is left in the page";
    EXPECT_EQ(roff.find("@TOLVEX_"), std::string::npos) << "a placeholder of the build is left in the page";
}

}  // namespace
