// The command-line split and the arguments by position.
#include "runtime/command_line.hpp"

#include "platform/platform.hpp"

namespace {

bool Separates(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    // The text ends at its end or at the first NUL byte.
    line = line.substr(0, line.find('\0'));
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && Separates(line[i])) ++i;
        if (i + 1 < line.size() && line[i] == '"' && line[i + 1] == '"') {
            i += 2;
            continue;
        }
        if (i == line.size()) return tokens;
        std::string token;
        while (i < line.size() && !Separates(line[i])) {
            if (line[i] == '"') {
                const std::size_t close = line.find('"', i + 1);
                const std::size_t end = close == std::string_view::npos ? line.size() : close;
                token.append(line.substr(i + 1, end - i - 1));
                i = close == std::string_view::npos ? line.size() : close + 1;
            } else {
                token.push_back(line[i++]);
            }
        }
        tokens.push_back(std::move(token));
    }
}

BoundedString CommandLine::ArgAt(int n) const {
    if (n == 0) return BoundedString(ProgramPath);
    if (n < 1 || n > ArgCount()) return {};
    return BoundedString(Arguments[static_cast<std::size_t>(n - 1)]);
}

CommandLine ReadCommandLine(int argc, char** argv) {
    CommandLine line{platform::ProgramPath(), {}};
    std::string raw;
    if (platform::RawCommandLine(raw)) {
        line.Arguments = SplitCommandLine(raw);
        if (!line.Arguments.empty()) line.Arguments.erase(line.Arguments.begin());
    } else {
        for (int i = 1; i < argc; ++i) line.Arguments.emplace_back(argv[i]);
    }
    return line;
}
