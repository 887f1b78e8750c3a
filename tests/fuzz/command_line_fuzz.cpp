// The split of a raw command line: no token keeps a quote or a NUL, and the
// tokens, each put back between quotes, split into themselves again.
#include "fuzz/fuzz_input.hpp"
#include "runtime/command_line.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line = AsText(data, size);
    const std::vector<std::string> tokens = SplitCommandLine(line);
    std::size_t bytes = 0;
    std::string again;
    std::vector<std::string> nonEmpty;
    for (const std::string& token : tokens) {
        FUZZ_CHECK(token.find('"') == std::string::npos);
        FUZZ_CHECK(token.find('\0') == std::string::npos);
        bytes += token.size();
        if (token.empty()) continue;
        nonEmpty.push_back(token);
        again += "\"" + token + "\" ";
    }
    FUZZ_CHECK(bytes <= size);
    // An empty quoted argument never forms a token, so only the others return.
    FUZZ_CHECK(SplitCommandLine(again) == nonEmpty);

    if (tokens.empty()) return 0;
    const CommandLine args{tokens.front(), {tokens.begin() + 1, tokens.end()}};
    for (int n = 0; n <= args.ArgCount() + 1; ++n) {
        const BoundedString arg = args.ArgAt(n);
        FUZZ_CHECK(n <= args.ArgCount() || arg.Empty());
    }
    return 0;
}
