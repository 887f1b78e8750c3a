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
