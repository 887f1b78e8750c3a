// The console texts reach the console as these exact bytes.
#include "runtime/console_texts.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string Hex(std::string_view bytes) {
    std::string hex;
    char piece[4];
    for (unsigned char c : bytes) {
        std::snprintf(piece, sizeof piece, "%s%02x", hex.empty() ? "" : " ", c);
        hex += piece;
    }
    return hex;
}

TEST(ConsoleTexts, RussianMessagesAreCp866) {
    const std::string error = "20 8e e8 a8 a1 aa a0";        // " Ошибка"
    const std::string missing = "8e e2 e1 e3 e2 e1 e2 a2 e3 a5 e2";  // "Отсутствует"
    const std::string spelling = "a2 20 ad a0 af a8 e1 a0 ad a8 a8";  // "в написании"
    EXPECT_EQ(Hex(text::kNoDefaultNode), error + " 21 20 " + missing + " 20 a0 a4 e0 a5 e1 20 a2 20 44 65 66 61 75 6c 74 4e 6f 64 65 2e");
    EXPECT_EQ(Hex(text::kNoAddressItem),
              error + " 20 " + spelling + " 20 a0 a4 e0 a5 e1 a0 20 a8 ab a8 20 a0 a4 e0 a5 e1 20 ae e2 e1 e3 e2 e1 e2 a2 e3 a5 e2 21");
    EXPECT_EQ(Hex(text::kNoAddress), error + " 21 20 " + missing + " 20 a0 a4 e0 a5 e1 2e");
    EXPECT_EQ(Hex(text::kBadAddress), error + " 20 " + spelling + " 20 a0 a4 e0 a5 e1 a0 21");
    EXPECT_EQ(Hex(text::kNoFile), error + " 21 20 " + missing + " 20 e4 a0 a9 ab 2e");
    EXPECT_EQ(Hex(text::kBadFileName), error + " 20 " + spelling + " 20 e4 a0 a9 ab a0 21");
}

TEST(ConsoleTexts, CyrillicLettersMapOntoTheirCodePage) {
    constexpr Cp866 alphabet = "АЯаперяЁё";
    EXPECT_EQ(Hex(alphabet), "80 9f a0 af a5 e0 ef f0 f1");
}

}  // namespace
