// Running commands as separate processes.
#include "support/process.hpp"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>

namespace {

bool BecomeUser(const User& user) {
    const std::vector<gid_t> groups(user.groups.begin(), user.groups.end());
    return setgroups(groups.size(), groups.data()) == 0 && setgid(user.gid) == 0 && setuid(user.uid) == 0;
}

// The child's side, once its standard files are in place: the folder, the
// environment, the umask and the user, then the command.
[[noreturn]] void Exec(const std::vector<std::string>& argv, const RunOptions& options) {
    if (!options.errorFile.empty()) dup2(open(options.errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (!options.outputFile.empty()) dup2(open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644), 1);
    if (options.closed >= 0) close(options.closed);
    if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) _exit(125);
    for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
    if (options.umask >= 0) umask(static_cast<mode_t>(options.umask));
    if (options.user && !BecomeUser(*options.user)) _exit(126);
    for (const auto& [resource, limit] : options.limits) {
        const rlimit both = {static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        if (setrlimit(resource, &both) != 0) _exit(124);
    }
    if (options.aliveAtMost > 0) alarm(static_cast<unsigned>(options.aliveAtMost));
    std::vector<char*> pointers;
    for (const std::string& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
    pointers.push_back(nullptr);
    execvp(pointers[0], pointers.data());
    _exit(127);
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status); }

// Feeds `input` to the child's standard input while reading its output, so
// that neither side can block the other.
std::string Exchange(int toChild, int fromChild, const std::string& input) {
    std::string out;
    std::size_t written = 0;
    if (input.empty()) close(toChild), toChild = -1;
    char buffer[4096];
    while (fromChild >= 0) {
        pollfd fds[2] = {{fromChild, POLLIN, 0}, {toChild, POLLOUT, 0}};
        poll(fds, toChild >= 0 ? 2 : 1, -1);
        if (toChild >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(toChild, input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == input.size()) close(toChild), toChild = -1;
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = read(fromChild, buffer, sizeof buffer);
            if (n <= 0) close(fromChild), fromChild = -1;
            else out.append(buffer, static_cast<std::size_t>(n));
        }
    }
    if (toChild >= 0) close(toChild);
    return out;
}

// How many questions of the prompt mode (texts ending in "(s):") a terminal
// shows, whatever control sequences its console put between the characters.
int Questions(std::string_view shown) {
    std::string text;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == '\x1b' && i + 1 < shown.size() && shown[i + 1] == '[') {
            i += 2;
            while (i < shown.size() && !std::isalpha(static_cast<unsigned char>(shown[i]))) ++i;
        } else {
            text += shown[i];
        }
    }
    int count = 0;
    for (std::size_t at = 0; (at = text.find("(s):", at)) != std::string::npos; at += 4) ++count;
    return count;
}

bool Canonical(int terminal) {
    termios mode{};
    return tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ICANON) != 0;
}

// Runs the command on a new terminal and reads what it shows there, with the
// terminal's own line-end mapping and wine's cursor switching undone. Each line
// of the input is typed when the terminal shows the question it answers.
RunResult RunOnTerminal(const std::vector<std::string>& argv, const RunOptions& options) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) Exec(argv, options);
    std::vector<std::string> answers;
    for (std::size_t at = 0, end; at < options.input.size(); at = end + 1) {
        end = std::min(options.input.find('\r', at), options.input.size() - 1);
        answers.push_back(options.input.substr(at, end + 1 - at));
    }
    RunResult result;
    char buffer[4096];
    ssize_t n;
    std::size_t typed = 0;
    pollfd shown = {terminal, POLLIN, 0};
    // A question that never shows must not hang the test run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (typed < answers.size() && Questions(result.out) > static_cast<int>(typed) &&
            !(options.typeWhenRaw && Canonical(terminal))) {
            if (write(terminal, answers[typed].data(), answers[typed].size()) < 0) break;
            ++typed;
        }
        if (poll(&shown, 1, 10) == 0) continue;
        if ((n = read(terminal, buffer, sizeof buffer)) <= 0) break;
        result.out.append(buffer, static_cast<std::size_t>(n));
    }
    close(terminal);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitCode = ExitCodeOf(status);
    for (std::size_t at; (at = result.out.find("\r\r\n")) != std::string::npos;) result.out.erase(at, 1);
    // Wine's console hides the cursor around each write.
    for (const std::string_view cursor : {"\x1b[?25l", "\x1b[?25h"})
        for (std::size_t at; (at = result.out.find(cursor)) != std::string::npos;) result.out.erase(at, cursor.size());
    return result;
}

}  // namespace

bool AsUser(const User& user, const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) _exit(BecomeUser(user) && check() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return ExitCodeOf(status) == 0;
}

RunResult RunCommand(const std::vector<std::string>& argv, const RunOptions& options) {
    if (options.output == Output::Terminal) return RunOnTerminal(argv, options);
    return StartCommand(argv, options).Finish(options.input);
}

Running StartCommand(const std::vector<std::string>& argv, const RunOptions& options) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return Running(-1, -1, -1);
    if (options.output == Output::ClosedPipe) close(out[0]), out[0] = -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(options.output == Output::DiskFull ? open("/dev/full", O_WRONLY) : out[1], 1);
        close(in[0]), close(in[1]), close(out[1]);
        if (out[0] >= 0) close(out[0]);
        Exec(argv, options);
    }
    close(in[0]);
    close(out[1]);
    return Running(child, in[1], out[0]);
}

RunResult RunShell(const std::string& command) { return RunCommand({"sh", "-c", command}); }

RunResult RunInNamespace(const std::vector<std::string>& mounts, const std::string& command) {
    std::string script = "set -e";
    for (const std::string& mount : mounts) script += "\n" + mount;
    return RunCommand({"unshare", "--mount", "sh", "-c", script + "\n" + command});
}

bool NamespacesAvailable() { return geteuid() == 0 && OnPath("unshare"); }

std::string PlantMount(const std::string& folder, const std::string& over) {
    return "mount -t overlay overlay -o 'lowerdir=" + folder + ":" + over + "' '" + over + "'";
}

std::string EmptyMount(const std::string& over) { return "mount -t tmpfs none '" + over + "'"; }

Running::Running(Running&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), input_(std::exchange(other.input_, -1)),
      output_(std::exchange(other.output_, -1)), out_(std::move(other.out_)) {}

Running::~Running() {
    if (pid_ > 0) Finish();
}

bool Running::WaitFor(std::string_view text) {
    char buffer[4096];
    while (out_.find(text) == std::string::npos) {
        const ssize_t n = output_ >= 0 ? read(output_, buffer, sizeof buffer) : 0;
        if (n <= 0) return false;
        out_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void Running::Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

RunResult Running::Finish(const std::string& input) {
    RunResult result;
    if (pid_ <= 0) return result;
    result.out = out_;
    if (output_ >= 0)
        result.out += Exchange(input_, output_, input);
    else
        close(input_);
    input_ = output_ = -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result.exitCode = ExitCodeOf(status);
    return result;
}

bool OnPath(std::string_view tool) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        if (access((std::string(rest.substr(0, colon)) + "/" + std::string(tool)).c_str(), X_OK) == 0) return true;
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return false;
}

bool ToolsRequired() {
    const char* value = std::getenv("TOLVEX_REQUIRE_TOOLS");
    return value != nullptr && std::string_view(value) == "1";
}
