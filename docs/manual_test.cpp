// The manual names every text the program can print: the texts are read from
// the declarations of config/console_texts.hpp (namespace text, Russian ones in their
// UTF-8 spelling) and looked for in the manual page, as a reader sees it, and
// in its plain-text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "generated/version.hpp"

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

struct ConsoleTexts {
    bool namespaceFound = false;
    int declarations = 0;            // "inline constexpr" declarations read
    std::vector<std::string> texts;  // every text, adjacent pieces joined
    std::vector<std::string> problems;
};

struct Token {
    enum Kind { Text, Name, Mark } kind;
    std::string value;
};

// The namespace's source cut into string literals, names and single marks;
// comments dropped.
std::vector<Token> Tokens(std::string_view source, std::vector<std::string>& problems) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            ++i;
        } else if (source.substr(i, 2) == "//") {
            i = source.find('\n', i);
            if (i == std::string_view::npos) i = source.size();
        } else if (c == '"') {
            std::string value;
            for (++i; i < source.size() && source[i] != '"'; ++i) {
                if (source[i] != '\\') {
                    value += source[i];
                    continue;
                }
                const char escaped = source[++i];
                if (escaped == '"' || escaped == '\\') value += escaped;
                else problems.push_back(std::string("an escape this test does not know: \\") + escaped);
            }
            ++i;
            tokens.push_back({Token::Text, value});
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t start = i;
            while (i < source.size() && (std::isalnum(static_cast<unsigned char>(source[i])) || source[i] == '_')) ++i;
            tokens.push_back({Token::Name, std::string(source.substr(start, i - start))});
        } else {
            tokens.push_back({Token::Mark, std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

// The text a name in a declaration stands for (the build's macros).
bool MacroValue(const std::string& name, std::string& value) {
    if (name == "TOLVEX_VERSION") value = TOLVEX_VERSION;
    else if (name == "TOLVEX_RELEASE_DATE") value = TOLVEX_RELEASE_DATE;
    else return false;
    return true;
}

// The source of namespace text, up to its closing brace; empty when there is
// no such namespace.
std::string_view NamespaceText(std::string_view header) {
    const std::size_t start = header.find("namespace text {");
    if (start == std::string_view::npos) return {};
    int depth = 0;
    for (std::size_t i = start; i < header.size(); ++i) {
        if (header.substr(i, 2) == "//") {
            i = std::min(header.find('\n', i), header.size());
        } else if (header[i] == '"') {
            for (++i; i < header.size() && header[i] != '"'; ++i)
                if (header[i] == '\\') ++i;
        } else if (header[i] == '{') {
            ++depth;
        } else if (header[i] == '}' && --depth == 0) {
            return header.substr(start, i + 1 - start);
        }
    }
    return header.substr(start);
}

ConsoleTexts ReadConsoleTexts(std::string_view header) {
    ConsoleTexts result;
    const std::string_view body = NamespaceText(header);
    if (body.empty()) return result;
    result.namespaceFound = true;
    const std::vector<Token> tokens = Tokens(body, result.problems);

    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].value != "inline" || tokens[i + 1].value != "constexpr") continue;
        ++result.declarations;
        while (i < tokens.size() && tokens[i].value != "=") ++i;
        // After "=": texts of adjacent pieces, separated by "," "{" "}".
        std::string text;
        bool open = false;
        for (++i; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            std::string value;
            if (t.kind == Token::Text) {
                text += t.value, open = true;
            } else if (t.kind == Token::Name && MacroValue(t.value, value)) {
                text += value, open = true;
            } else if (t.kind == Token::Name) {
                result.problems.push_back("a name this test does not know in a text: " + t.value);
            } else {
                if (open) result.texts.push_back(text);
                text.clear(), open = false;
                if (t.value == ";") break;
            }
        }
    }
    return result;
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

ConsoleTexts ProgramTexts() { return ReadConsoleTexts(ReadFile(TOLVEX_CONSOLE_TEXTS)); }

// ---- Tests --------------------------------------------------------------

TEST(ConsoleTexts, EveryDeclarationIsRead) {
    const std::string header = ReadFile(TOLVEX_CONSOLE_TEXTS);
    const ConsoleTexts found = ReadConsoleTexts(header);
    ASSERT_TRUE(found.namespaceFound) << "no 'namespace text {' in " << TOLVEX_CONSOLE_TEXTS;
    EXPECT_TRUE(found.problems.empty()) << Listed(found.problems);

    // As many declarations read as the namespace holds.
    const std::string_view body = NamespaceText(header);
    int declared = 0;
    for (std::size_t at = body.find("inline constexpr"); at != std::string_view::npos; at = body.find("inline constexpr", at + 1))
        ++declared;
    EXPECT_EQ(found.declarations, declared);

    // The banner is read whole, with the build's version and date, and the
    // Russian texts in their UTF-8 spelling.
    const std::string banner = std::string("Tolvex/w32 v") + TOLVEX_VERSION + " (released " + TOLVEX_RELEASE_DATE;
    EXPECT_NE(std::find_if(found.texts.begin(), found.texts.end(),
                           [&](const std::string& t) { return t.rfind(banner, 0) == 0; }),
              found.texts.end())
        << "no text begins with " << banner;
    EXPECT_NE(std::find(found.texts.begin(), found.texts.end(), " Ошибка! Отсутствует файл."), found.texts.end());
    EXPECT_NE(std::find(found.texts.begin(), found.texts.end(), "     or: tolvex [/c:newcfg] /"), found.texts.end());
}

TEST(Manual, ShowsEveryConsoleText) {
    const ConsoleTexts program = ProgramTexts();
    ASSERT_FALSE(program.texts.empty());
    const std::string manual = ManualText(ReadFile(TOLVEX_MANUAL));
    EXPECT_TRUE(MissingTexts(program.texts, manual).empty())
        << TOLVEX_MANUAL << " does not show these texts of the program:"
        << Listed(MissingTexts(program.texts, manual));
}

TEST(Manual, PlainTextFormShowsEveryConsoleText) {
    if (std::string_view(TOLVEX_MANUAL_TEXT).empty()) GTEST_SKIP() << "groff is missing: there is no tolvex.txt";
    const ConsoleTexts program = ProgramTexts();
    const std::string text = ReadFile(TOLVEX_MANUAL_TEXT);
    EXPECT_TRUE(MissingTexts(program.texts, text).empty())
        << TOLVEX_MANUAL_TEXT << " does not show these texts of the program:" << Listed(MissingTexts(program.texts, text));
}

// Each text in turn left out of the page (every line that shows it removed)
// is reported: the check above cannot pass by looking in the wrong place.
TEST(Manual, ATextLeftOutIsReported) {
    const ConsoleTexts program = ProgramTexts();
    const std::string roff = ReadFile(TOLVEX_MANUAL);
    for (const std::string& text : program.texts) {
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
        const std::vector<std::string> missing = MissingTexts(program.texts, ManualText(without));
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
