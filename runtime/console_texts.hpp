// Every text the program prints, in the order the run can print them. The
// Russian texts are written here in UTF-8 and stored as CP866 bytes, which is
// what reaches the console.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>


// A console text in CP866, made from its UTF-8 spelling when the program is
// compiled; a character outside ASCII and the Cyrillic letters does not compile.
template <std::size_t N>
class Cp866 {
public:
    consteval Cp866(const char (&utf8)[N]) {  // NOLINT: implicit on purpose
        std::size_t i = 0;
        while (i + 1 < N) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            if (lead < 0x80) {
                bytes_[size_++] = static_cast<char>(lead);
                i += 1;
                continue;
            }
            const auto trail = static_cast<unsigned char>(utf8[i + 1]);
            const unsigned code = ((lead & 0x1Fu) << 6) | (trail & 0x3Fu);
            bytes_[size_++] = static_cast<char>(FromUnicode(code));
            i += 2;
        }
    }
    constexpr std::string_view View() const { return {bytes_.data(), size_}; }
    constexpr operator std::string_view() const { return View(); }  // NOLINT

private:
    static consteval unsigned FromUnicode(unsigned code) {
        if (code >= 0x410 && code <= 0x42F) return 0x80 + (code - 0x410);  // А..Я
        if (code >= 0x430 && code <= 0x43F) return 0xA0 + (code - 0x430);  // а..п
        if (code >= 0x440 && code <= 0x44F) return 0xE0 + (code - 0x440);  // р..я
        if (code == 0x401) return 0xF0;                                     // Ё
        if (code == 0x451) return 0xF1;                                     // ё
        throw "no CP866 form for this character";
    }

    std::array<char, N> bytes_{};
    std::size_t size_ = 0;
};

namespace text {

// Start-up.
extern const std::string_view kBanner;  // with the version and the release date (generated/banner.cpp)
inline constexpr std::array<std::string_view, 4> kUsage = {
    "  Usage: tolvex [/c:newcfg] file1 @file file2!!password [node1 node2]",
    "     or: tolvex [/c:newcfg] /",
    "Example: tolvex pntlist.zip /36",
    "",
};

// Configuration; also the list files, the request files and the log.
inline constexpr std::string_view kUnableToOpen = " Error! Unable to open ";
inline constexpr std::string_view kUtf16Before = " Error! ";
inline constexpr std::string_view kUtf16After = " is saved as UTF-16: save it as ANSI or UTF-8.";
inline constexpr std::string_view kNotInCodePageBefore = " Error! ";
inline constexpr std::string_view kNotInCodePageLine = ", line ";  // and the line's number
inline constexpr std::string_view kNotInCodePageAfter = ", holds characters the ANSI code page cannot hold.";
inline constexpr std::string_view kTooManyZones = " Error! Too many ZONE lines.";
inline constexpr std::string_view kDefaultNodeTooLong = " Error! DEFAULTNODE is longer than 30 characters.";
inline constexpr Cp866 kNoDefaultNode = " Ошибка! Отсутствует адрес в DefaultNode.";

// Items and the prompt mode.
inline constexpr std::string_view kAskFiles = "Request file(s): ";
inline constexpr std::string_view kAskNodes = "At node(s): ";
inline constexpr Cp866 kNoAddressItem = " Ошибка в написании адреса или адрес отсутствует!";
inline constexpr std::string_view kTooManyFiles = " Error! Too many files requested.";

// Addresses.
inline constexpr Cp866 kNoAddress = " Ошибка! Отсутствует адрес.";
inline constexpr Cp866 kBadAddress = " Ошибка в написании адреса!";
inline constexpr std::string_view kTooManyAddresses = " Error! Too many addresses.";

// The request check.
inline constexpr Cp866 kNoFile = " Ошибка! Отсутствует файл.";
inline constexpr Cp866 kBadFileName = " Ошибка в написании файла!";

// Per node: the outbound, the busy flag, the request file.
inline constexpr std::string_view kNoOutbound = " Error! OUTBOUND is not set in ";
inline constexpr std::string_view kCannotFindDirectory = " Cannot find directory ";
inline constexpr std::string_view kBusyBefore = " Error! ";
inline constexpr std::string_view kBusyAfter = " is busy.";
inline constexpr std::string_view kUnableToWrite = " Error! Unable to write ";
inline constexpr std::string_view kNoMemoryFor = " Error! Not enough memory to read ";
inline constexpr std::string_view kNoMemory = " Error! Not enough memory.";
inline constexpr std::string_view kAlreadyExists = " -> already exist. Skipping...";
inline constexpr std::string_view kRequestedFrom = " -> ";

// The end.
inline constexpr std::string_view kGoodbye = "Have a nice day! =)";

// Every text above, in the order the run can print them: a new one goes here
// too, and the manual then has to name it (docs/manual_test.cpp).
inline const std::array<std::string_view, 33> kAll = {
    kBanner, kUsage[0], kUsage[1], kUsage[2], kUsage[3], kUnableToOpen, kUtf16Before, kUtf16After,
    kNotInCodePageBefore, kNotInCodePageLine, kNotInCodePageAfter, kTooManyZones, kDefaultNodeTooLong, kNoDefaultNode,
    kAskFiles, kAskNodes, kNoAddressItem, kTooManyFiles, kNoAddress, kBadAddress, kTooManyAddresses, kNoFile, kBadFileName,
    kNoOutbound, kCannotFindDirectory, kBusyBefore, kBusyAfter, kUnableToWrite, kNoMemoryFor, kNoMemory,
    kAlreadyExists, kRequestedFrom, kGoodbye};

}  // namespace text
