// The text helpers.
#include "runtime/text_helpers.hpp"

#include <string>

#include "runtime/numbers.hpp"

BoundedString UpperCase(BoundedString s) {
    std::string upper(s.View());
    for (char& c : upper) c = UpperChar(c);
    return BoundedString(upper);
}

BoundedString StripSpaces(BoundedString s) {
    std::string kept;
    for (char c : s.View())
        if (c != ' ') kept.push_back(c);
    return BoundedString(kept);
}

BoundedString NormalizeLine(BoundedString s) {
    std::string t(s.View());
    std::string shrunk;
    for (char c : t)
        if (!(c == ' ' && !shrunk.empty() && shrunk.back() == ' ')) shrunk.push_back(c);
    t.clear();
    for (char c : shrunk)
        if (!(c == '/' && !t.empty() && t.back() == ' ')) t.push_back(c);
    // The space before a removed "/" still counts: "a //b" loses both slashes.
    const std::size_t first = t.find_first_not_of(' ');
    t = first == std::string::npos ? std::string() : t.substr(first);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    if (!t.empty() && t.front() == '/') t.erase(0, 1);
    return BoundedString(t);
}

BoundedString HexString(std::int32_t n) {
    static constexpr std::string_view kDigits = "0123456789abcdef";
    auto rest = static_cast<std::uint32_t>(n);
    std::string text;
    do {
        text.insert(text.begin(), kDigits[rest % 16]);
        rest /= 16;
    } while (rest != 0);
    return BoundedString(text);
}

BoundedString ZeroPad(std::int32_t value, int width) {
    std::string text = IntToText(value, width);
    for (char& c : text) {
        if (c != ' ') break;
        c = '0';
    }
    return BoundedString(text);
}
