// Standard input and output, and the end of the run.
#include "runtime/standard_files.hpp"

#include "runtime/platform.hpp"

TextFile& StandardInput() {
    static TextFile input;
    static const bool opened = (input.OpenRead(), true);
    (void)opened;
    return input;
}

TextFile& StandardOutput() {
    static TextFile output;
    static const bool created = (output.Create(), output.MarkAsConsole(), true);
    (void)created;
    return output;
}

void EndRun(unsigned code) {
    if (StandardInput().IsOpen()) StandardInput().Close();
    if (StandardOutput().IsOpen()) StandardOutput().Close();
    platform::EndProcess(code);
}

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
