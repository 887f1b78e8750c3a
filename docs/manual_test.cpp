// The manual names every text the program can print: the program's table of
// its texts (runtime/console_texts.hpp; the Russian ones turned from their
// CP866 bytes back into UTF-8) is looked for in the manual as groff renders
// it, the Linux page and the Windows text alike.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/console_texts.hpp"
#include "support/scratch.hpp"

namespace {

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

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

// The program's texts a rendered manual does not show, each without its
// leading and trailing blanks (which a page cannot show; it says that the
// messages begin with one).
std::string MissingTexts(const std::string& manual) {
    std::string missing;
    for (const std::string_view text : text::kAll) {
        const std::string shown = Utf8(text);
        const std::size_t first = shown.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        const std::string trimmed = shown.substr(first, shown.find_last_not_of(' ') - first + 1);
        if (manual.find(trimmed) == std::string::npos) missing += "\n  \"" + trimmed + "\"";
    }
    return missing;
}

TEST(Manual, ShowsEveryConsoleText) {
    EXPECT_EQ(Utf8(text::kNoFile), " Ошибка! Отсутствует файл.");
    for (const char* rendered : {TOLVEX_MANUAL_LINUX_TEXT, TOLVEX_MANUAL_TEXT}) {
        if (std::string_view(rendered).empty()) GTEST_SKIP() << "groff is missing: the manual is not rendered";
        const std::string manual = ReadFile(rendered);
        ASSERT_FALSE(manual.empty()) << rendered;
        EXPECT_EQ(MissingTexts(manual), "") << rendered << " does not show these texts of the program:";
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
