// The stop, and names as its messages show them.
#include "runtime/errors.hpp"

void StopRun(std::string_view ownText) { throw RunStop{{std::string(ownText)}, true}; }

std::string ShownName(std::string_view name) {
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127)
            shown.append(1, '^').append(1, static_cast<char>(byte ^ 64));
        else
            shown.push_back(c);
    }
    return shown;
}

void StopRunNaming(std::string_view message, std::string_view name, std::string_view after) {
    throw RunStop{{std::string(message) + ShownName(name) + std::string(after)}, false};
}
