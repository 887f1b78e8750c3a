// End-to-end cases: the real program, copied into a fresh folder with its
// configuration beside it, run as a separate process; the same cases run
// against the POSIX program and against the Windows program under wine.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "support/console_bytes.hpp"
#include "support/scratch.hpp"

enum class Build { Posix, Win32 };
inline void PrintTo(Build build, std::ostream* out) { *out << (build == Build::Posix ? "Posix" : "Win32"); }

struct RunResult {
    std::string out;  // every byte written to standard output
    int exitCode = -1;
};

enum class Output { Pipe, DiskFull, ClosedPipe, Terminal };

struct RunOptions {
    std::string input;            // standard input; on a terminal, each line (ended by CR, as Enter sends it) is typed at its question
    bool unprivileged = false;    // run as uid/gid 65534, so that permission bits count (wine in a prefix of its own)
    std::vector<unsigned> groups;  // its supplementary groups when unprivileged
    int umask = -1;                // the umask of the run, when not -1
    int closed = -1;               // a standard descriptor (0, 1 or 2) closed for the run
    Output output = Output::Pipe;  // where standard output goes; a pipe and a terminal are read back
    std::string locale;            // LC_ALL for the run, when not empty
};

inline RunOptions Typing(std::string input) { RunOptions o; o.input = std::move(input); return o; }
inline RunOptions AsNobody() { RunOptions o; o.unprivileged = true; return o; }
inline RunOptions WritingTo(Output output, std::string locale = "") {
    RunOptions o;
    o.output = output;
    o.locale = std::move(locale);
    return o;
}

// One job's folder: prog/ holds the program (and its configuration), fido/ is
// the outbound; the program runs with the folder as its current directory.
class Job {
public:
    explicit Job(Build build, std::string_view programName = "tolvex");

    Build build() const { return build_; }
    const ScratchDir& dir() const { return dir_; }

    // A path inside the folder, in the form the program's configuration uses:
    // a POSIX path, or a Z:\ path under wine.
    std::string ConfigPath(std::string_view relative) const;
    // The name a created directory or file gets from a name in capitals: lower
    // case on POSIX, as given on Windows.
    std::string Created(std::string_view name) const;

    // Writes prog/<name>.cfg (default: the program's own name), lines joined by CR LF.
    void Configure(const std::vector<std::string>& lines, std::string_view fileName = "") const;
    // The usual settings: OUTBOUND fido, DEFAULTOUTBOUND OUT, DEFAULTNET 2:4600,
    // DEFAULTNODE 12, and the extra lines.
    void ConfigureStandard(const std::vector<std::string>& extra = {}) const;

    RunResult Run(const std::vector<std::string>& args, const RunOptions& options = {}) const;
    // Starts a run on pipes (standard input, standard output) and returns at once.
    class Running Start(const std::vector<std::string>& args, const RunOptions& options = {}) const;
    // Nothing at all was made in the outbound.
    bool OutboundUntouched() const;

private:
    Build build_;
    ScratchDir dir_;
    std::string program_;  // its path on disk
};

// A run in progress: its output is read only when asked for, so a run can be
// held at a full pipe, answered at its prompt, or sent a signal meanwhile.
class Running {
public:
    Running(int pid, int input, int output) : pid_(pid), input_(input), output_(output) {}
    Running(Running&& other) noexcept;
    Running(const Running&) = delete;
    ~Running();

    // Reads the output until it holds `text`; false when the run ended first.
    bool WaitFor(std::string_view text);
    void Signal(int signal) const;
    // Feeds `input` and closes standard input, reads the rest of the output and
    // waits for the end. A run that died of a signal has exit code 1000 + signal.
    RunResult Finish(const std::string& input = {});

private:
    int pid_;
    int input_, output_;
    std::string out_;
};

// Waits until the file exists, for at most the given seconds.
bool AppearsWithin(const std::string& path, int seconds);

// Whether the Windows program and wine are there; when they are not, a case
// skips, or fails where the tools are required.
bool Win32Available();
bool ToolsRequired();
// Whether the C library has the locale (wine takes its code pages from it).
bool LocaleAvailable(const char* name);

class EndToEnd : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override;
    Build build() const { return GetParam(); }
};

std::string BuildName(const ::testing::TestParamInfo<Build>& info);

#define TOLVEX_BOTH_BUILDS(suite) \
    INSTANTIATE_TEST_SUITE_P(Builds, suite, ::testing::Values(Build::Posix, Build::Win32), BuildName)
