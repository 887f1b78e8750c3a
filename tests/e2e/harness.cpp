// Running the real program in a fresh folder, natively or under wine.
#include "e2e/harness.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

namespace {

bool OnPath(const char* tool) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string dir(rest.substr(0, colon));
        if (access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return false;
}

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

constexpr uid_t kNobody = 65534;

// Wine keeps its state in a prefix that must belong to the user who runs it:
// runs as nobody get one of their own, made once for the machine (one process
// at a time makes it). Returns the folder that serves as nobody's home.
const std::string& NobodyWineHome() {
    static const std::string home = [] {
        const fs::path temp = fs::temp_directory_path();
        const std::string folder = (temp / "tolvex-wine-nobody").string();
        const int lock = open((temp / "tolvex-wine-nobody.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        flock(lock, LOCK_EX);
        mkdir(folder.c_str(), 0700);
        if (access((folder + "/wine/.update-timestamp").c_str(), F_OK) != 0 && chown(folder.c_str(), kNobody, kNobody) == 0) {
            const pid_t child = fork();
            if (child == 0) {
                const int null = open("/dev/null", O_RDWR);
                dup2(null, 0), dup2(null, 1), dup2(null, 2);
                if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
                setenv("HOME", folder.c_str(), 1);
                setenv("WINEPREFIX", (folder + "/wine").c_str(), 1);
                setenv("WINEDEBUG", "-all", 1);
                execlp("wineboot", "wineboot", "-i", static_cast<char*>(nullptr));
                _exit(127);
            }
            waitpid(child, nullptr, 0);
        }
        close(lock);
        return folder;
    }();
    return home;
}

}  // namespace

bool ToolsRequired() {
    const char* value = std::getenv("TOLVEX_REQUIRE_TOOLS");
    return value != nullptr && std::string_view(value) == "1";
}

bool Win32Available() {
    const std::string exe = TOLVEX_WIN32_PROGRAM;
    return !exe.empty() && access(exe.c_str(), R_OK) == 0 && OnPath("wine");
}

void EndToEnd::SetUp() {
    if (build() == Build::Win32 && !Win32Available()) {
        if (ToolsRequired()) FAIL() << "the Windows program or wine is missing";
        GTEST_SKIP() << "the Windows program or wine is missing";
    }
}

std::string BuildName(const ::testing::TestParamInfo<Build>& info) {
    return info.param == Build::Posix ? "Posix" : "Win32";
}

Job::Job(Build build, std::string_view programName) : build_(build) {
    const std::string source = build == Build::Posix ? TOLVEX_POSIX_PROGRAM : TOLVEX_WIN32_PROGRAM;
    std::string name(programName);
    if (build == Build::Win32 && name.find('.') == std::string::npos) name += ".exe";
    dir_.MakeDir("prog");
    dir_.MakeDir("fido");
    chmod(dir_.At("prog").c_str(), 0777);
    chmod(dir_.At("fido").c_str(), 0777);
    program_ = dir_.At("prog/" + name);
    fs::copy_file(source, program_);
}

std::string Job::ConfigPath(std::string_view relative) const {
    const std::string path = dir_.At(relative);
    if (build_ == Build::Posix) return path;
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/') c = '\\';
    return windows;
}

std::string Job::Created(std::string_view name) const {
    std::string created(name);
    if (build_ == Build::Posix)
        for (char& c : created) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return created;
}

void Job::Configure(const std::vector<std::string>& lines, std::string_view fileName) const {
    std::string name(fileName);
    if (name.empty()) name = fs::path(program_).stem().string() + ".cfg";
    dir_.Write("prog/" + name, Crlf(lines));
}

void Job::ConfigureStandard(const std::vector<std::string>& extra) const {
    std::vector<std::string> lines = {"OUTBOUND " + ConfigPath("fido"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600",
                                      "DEFAULTNODE 12"};
    lines.insert(lines.end(), extra.begin(), extra.end());
    Configure(lines);
}

bool Job::OutboundUntouched() const {
    for (const std::string& entry : dir_.Tree())
        if (entry.rfind("fido/", 0) == 0 && entry != "fido/") return false;
    return true;
}

bool LocaleAvailable(const char* name) {
    const locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
    if (locale == nullptr) return false;
    freelocale(locale);
    return true;
}

namespace {

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

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status); }

bool Canonical(int terminal) {
    termios mode{};
    return tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ICANON) != 0;
}

// Runs the program on a new terminal and reads what it shows there, with the
// terminal's own line-end mapping and wine's cursor switching undone. Each line
// of the input is typed when the terminal shows the question it answers; under
// wine also not before the console has put the terminal in raw mode, or Enter
// would reach it as a line feed.
RunResult RunOnTerminal(const std::string& dir, std::vector<char*>& argv, const RunOptions& options, bool wine) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(125);
        setenv("WINEDEBUG", "-all", 1);
        if (!options.locale.empty()) setenv("LC_ALL", options.locale.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
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
        if (typed < answers.size() && Questions(result.out) > static_cast<int>(typed) && !(wine && Canonical(terminal))) {
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

std::vector<std::string> CommandOf(Build build, const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv;
    if (build == Build::Win32) argv.push_back("wine");
    argv.push_back(program);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

std::vector<char*> Pointers(std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

RunResult Job::Run(const std::vector<std::string>& args, const RunOptions& options) const {
    if (options.output == Output::Terminal) {
        std::vector<std::string> argv = CommandOf(build_, program_, args);
        std::vector<char*> pointers = Pointers(argv);
        return RunOnTerminal(dir_.Path(), pointers, options, build_ == Build::Win32);
    }
    return Start(args, options).Finish(options.input);
}

Running Job::Start(const std::vector<std::string>& args, const RunOptions& options) const {
    std::vector<std::string> argv = CommandOf(build_, program_, args);
    std::vector<char*> pointers = Pointers(argv);
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return Running(-1, -1, -1);
    if (options.output == Output::ClosedPipe) close(out[0]), out[0] = -1;
    const std::string wineHome = options.unprivileged && build_ == Build::Win32 ? NobodyWineHome() : "";
    const pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        if (options.output == Output::DiskFull) {
            const int full = open("/dev/full", O_WRONLY);
            dup2(full, 1);
        } else {
            dup2(out[1], 1);
        }
        close(in[0]), close(in[1]), close(out[1]);
        if (out[0] >= 0) close(out[0]);
        if (options.closed >= 0) close(options.closed);
        if (chdir(dir_.Path().c_str()) != 0) _exit(125);
        setenv("WINEDEBUG", "-all", 1);
        if (!options.locale.empty()) setenv("LC_ALL", options.locale.c_str(), 1);
        if (options.umask >= 0) umask(static_cast<mode_t>(options.umask));
        if (!wineHome.empty()) {
            setenv("HOME", wineHome.c_str(), 1);
            setenv("WINEPREFIX", (wineHome + "/wine").c_str(), 1);
        }
        if (options.unprivileged) {
            const std::vector<gid_t> groups(options.groups.begin(), options.groups.end());
            if (setgroups(groups.size(), groups.data()) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
        }
        execvp(pointers[0], pointers.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    return Running(child, in[1], out[0]);
}

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

bool AppearsWithin(const std::string& path, int seconds) {
    for (int waited = 0; waited < seconds * 100; ++waited) {
        if (access(path.c_str(), F_OK) == 0) return true;
        usleep(10000);
    }
    return false;
}
