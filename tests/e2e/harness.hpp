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
#include "support/process.hpp"
#include "support/scratch.hpp"

enum class Build { Posix, Win32 };
inline void PrintTo(Build build, std::ostream* out) { *out << (build == Build::Posix ? "Posix" : "Win32"); }

inline RunOptions Typing(std::string input) { RunOptions o; o.input = std::move(input); return o; }
// Permission bits do not stop root: such cases run the program as nobody.
inline RunOptions AsNobody(std::vector<unsigned> groups = {}) { RunOptions o; o.user = User{65534, 65534, std::move(groups)}; return o; }
inline RunOptions WritingTo(Output output, std::string locale = "") {
    RunOptions o;
    o.output = output;
    if (!locale.empty()) o.environment = {{"LC_ALL", std::move(locale)}};
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
    // A file of the main zone's folder of the standard settings, as this
    // build creates it ("fido/out/<file>" on POSIX, "fido/OUT/<file>" on Windows).
    std::string Out(std::string_view file = "") const;
    // The name a created directory or file gets from a name in capitals: lower
    // case on POSIX, as given on Windows.
    std::string Created(std::string_view name) const;
    // A file of the main zone's folder of the standard settings as the
    // program names it in its messages ("<OUTBOUND>\OUT\<file>").
    std::string OutboundName(std::string_view file) const;

    // Writes prog/<name>.cfg (default: the program's own name), lines joined by CR LF.
    void Configure(const std::vector<std::string>& lines, std::string_view fileName = "") const;
    // The usual settings: OUTBOUND fido, DEFAULTOUTBOUND OUT, DEFAULTNET 2:4600,
    // DEFAULTNODE 12, and the extra lines.
    void ConfigureStandard(const std::vector<std::string>& extra = {}) const;

    RunResult Run(const std::vector<std::string>& args, const RunOptions& options = {}) const;
    Running Start(const std::vector<std::string>& args, const RunOptions& options = {}) const;
    // Nothing at all was made in the outbound.
    bool OutboundUntouched() const;

private:
    std::vector<std::string> Command(const std::vector<std::string>& args) const;
    RunOptions ForThisJob(RunOptions options) const;

    Build build_;
    ScratchDir dir_;
    std::string program_;  // its path on disk
};

// Waits until the file exists, for at most the given seconds.
bool AppearsWithin(const std::string& path, int seconds);

// Whether the Windows program and wine are there.
bool Win32Available();
// Whether the C library has the locale (wine takes its code pages from it).
bool LocaleAvailable(const char* name);

class EndToEnd : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override;
    Build build() const { return GetParam(); }
};

#define TOLVEX_BOTH_BUILDS(suite) \
    INSTANTIATE_TEST_SUITE_P(Builds, suite, ::testing::Values(Build::Posix, Build::Win32), ::testing::PrintToStringParamName())
