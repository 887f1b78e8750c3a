// The run's standard input and output (the console), the interrupts it holds
// off while an address is in hand, and the end of the run.
#pragma once

#include <string_view>

#include "platform/platform.hpp"
#include "runtime/text_reader.hpp"

// Standard output, written a statement at a time, each passed on at once and
// shown by its origin (platform::ConsoleWrite: only the program's own
// non-ASCII texts need TextOrigin::Own). A console that went away, or is
// full, loses what is written to it and nothing else: its failures are
// nobody's, and the files of the run are still written.
class Console {
public:
    explicit Console(platform::Handle handle) : handle_(handle) {}
    void Write(std::string_view text, platform::TextOrigin origin = platform::TextOrigin::User) const;
    void WriteLine(std::string_view text = {}, platform::TextOrigin origin = platform::TextOrigin::User) const;

private:
    platform::Handle handle_;
};

TextReader& StandardInput();
Console& StandardOutput();

// While one of these lives, an interrupt (Ctrl-C, a closed terminal, a polite
// kill) waits: the console goes quiet. When it ends, an interrupt that came
// meanwhile ENDS THE PROCESS, as that interrupt ends a program, from wherever
// it ends, a destructor during a stop's unwinding included: hold one only
// while every file the run has in hand will be whole when it ends.
class HeldInterrupts {
public:
    HeldInterrupts() { platform::HoldInterrupts(); }
    ~HeldInterrupts() { platform::ReleaseInterrupts(); }
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;
};

// Ends the process with the exit code; nothing of the run is held back in a
// buffer.
[[noreturn]] void EndRun(unsigned code);
