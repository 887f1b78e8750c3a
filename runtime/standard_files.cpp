// Standard input and output, and the end of the run.
#include "runtime/standard_files.hpp"

#include <string>

void Console::Write(std::string_view text, platform::TextOrigin origin) const {
    [[maybe_unused]] const int lost = platform::ConsoleWrite(handle_, text, origin);
}

void Console::WriteLine(std::string_view text, platform::TextOrigin origin) const {
    Write(std::string(text) + "\r\n", origin);
}

TextReader& StandardInput() {
    static TextReader input;
    return input;
}

Console& StandardOutput() {
    static Console output(platform::StandardOutputHandle());
    return output;
}

void EndRun(unsigned code) { platform::EndProcess(code); }
