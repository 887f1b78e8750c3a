// Running a program, or any command, as a separate process: its arguments,
// folder, environment and standard files, and the user it runs as.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A user and group to run as; nobody by default, so that permission bits
// count for a test run as root.
struct User {
    unsigned uid = 65534, gid = 65534;
    std::vector<unsigned> groups;  // the supplementary groups
};

// Runs `check` in a child process as `user`; false also when the child cannot
// become that user.
bool AsUser(const User& user, const std::function<bool()>& check);

enum class Output { Pipe, DiskFull, ClosedPipe, Terminal };

struct RunOptions {
    std::string folder;  // the current directory of the run; empty: the test's
    std::vector<std::pair<std::string, std::string>> environment;  // variables set for the run
    std::string input;   // standard input; on a terminal, each line (ended by CR, as Enter sends it) is typed at its question
    Output output = Output::Pipe;  // where standard output goes; a pipe and a terminal are read back
    std::string errorFile;         // where standard error goes; empty: the test's own
    std::string outputFile;        // when set, standard output is added to this file (as ">>" does), not read back
    std::optional<User> user;      // the user the run has; empty: the test's own
    int umask = -1;                // the umask of the run, when not -1
    int closed = -1;               // a standard descriptor (0, 1 or 2) closed for the run
    bool typeWhenRaw = false;      // a terminal's answers wait until the program has made it raw (wine's console)
    std::vector<std::pair<int, long>> limits;  // resource limits of the run (RLIMIT_AS, RLIMIT_FSIZE, ...)
    int aliveAtMost = 0;           // seconds after which a run that still goes on is ended (SIGALRM), when not 0
};

struct RunResult {
    std::string out;  // every byte written to standard output
    int exitCode = -1;  // a run that died of a signal has 1000 + signal
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
    // waits for the end.
    RunResult Finish(const std::string& input = {});

private:
    int pid_;
    int input_, output_;
    std::string out_;
};

// argv[0] is looked for on the PATH.
RunResult RunCommand(const std::vector<std::string>& argv, const RunOptions& options = {});
// On pipes only (standard input, standard output); returns at once.
Running StartCommand(const std::vector<std::string>& argv, const RunOptions& options = {});
// A command line for sh, its standard error left to the test's.
RunResult RunShell(const std::string& command);

// A command line for sh run in a mount namespace of its own, after the mount
// commands, so that what they plant or hide is seen by that run alone and the
// machine's own folders are neither read nor written through them. Needs root
// and unshare (NamespacesAvailable).
RunResult RunInNamespace(const std::vector<std::string>& mounts, const std::string& command);
bool NamespacesAvailable();
// The mount commands: the files of `folder` shown over those of `over`, which
// stay seen where `folder` has none (read-only); an empty folder as `over`.
std::string PlantMount(const std::string& folder, const std::string& over);
std::string EmptyMount(const std::string& over);

bool OnPath(std::string_view tool);
// Whether the tools are required (CI): a missing one fails instead of skipping.
bool ToolsRequired();

// A case whose tool is missing is skipped, visibly; where the tools are
// required it fails.
#define TOLVEX_NEED(condition, what)                                  \
    do {                                                              \
        if (!(condition)) {                                           \
            if (ToolsRequired()) FAIL() << what << " is missing";     \
            GTEST_SKIP() << what << " is missing";                    \
        }                                                             \
    } while (false)
