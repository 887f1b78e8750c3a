// The 1-based text operations that the algorithms are written with.
#include "runtime/bounded.hpp"

int FindText(std::string_view sub, std::string_view s) {
    if (sub.empty() || sub.size() > s.size()) return 0;
    const std::size_t at = s.find(sub);
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

BoundedString CopyText(std::string_view s, int index, int count) {
    if (index < 1) index = 1;
    if (count < 0) count = 0;
    if (static_cast<std::size_t>(index) > s.size()) return {};
    return BoundedString(s.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count)));
}
