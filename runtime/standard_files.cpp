// Standard input and output, and the end of the run.
#include "runtime/standard_files.hpp"

#include "platform/platform.hpp"

TextReader& StandardInput() {
    static TextReader input;
    static const bool opened = (input.Open(), true);
    (void)opened;
    return input;
}

TextWriter& StandardOutput() {
    static TextWriter output;
    static const bool created = (output.MarkAsConsole(), output.OpenStandardOutput(), true);
    (void)created;
    return output;
}

void EndRun(unsigned code) {
    StandardInput().Close();
    StandardOutput().Close();
    platform::EndProcess(code);
}
