// The operating-system operations on a POSIX system. Paths arrive in the
// program's own form and are mapped here only: "\" and "/" both separate, a
// component is found regardless of ASCII letter case (lower case first), and
// what is created gets its last component in lower case.
#include "runtime/platform.hpp"

#include "runtime/posix/path_map.hpp"

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace TOLVEX_PLATFORM {
namespace {

using path_map::MapPath;
using path_map::Purpose;

int LastError() { return errno != 0 ? errno : EIO; }

int OpenMapped(const std::string& path, int flags, Handle& handle) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return LastError();
    // Only a read-only open reaches a folder: the others fail on one by themselves.
    struct stat info {};
    if ((flags & O_ACCMODE) == O_RDONLY && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        return EISDIR;
    }
    handle = fd;
    return 0;
}

// What is made inside a folder that its group may write to is the group's
// too, whatever the umask: the mailer that shares the outbound through the
// group must be able to flag, rewrite and remove it. The group gets the
// owner's rights; the bits for others stay as the umask left them, and a
// folder made inside a setgid folder keeps the setgid bit the system gave it.
void ShareWithGroup(const std::string& path, int fd) {
    const std::string parent = path_map::FolderOf(path);
    struct stat folder {};
    if (stat(parent.empty() ? "." : parent.c_str(), &folder) != 0 || (folder.st_mode & S_IWGRP) == 0) return;
    struct stat made {};
    if ((fd >= 0 ? fstat(fd, &made) : stat(path.c_str(), &made)) != 0) return;
    const mode_t mode = made.st_mode & 07777;
    const mode_t shared = mode | ((mode & S_IRWXU) >> 3);
    if (shared == mode) return;
    if (fd >= 0)
        fchmod(fd, shared);
    else
        chmod(path.c_str(), shared);
}

// The path mapped and with every symbolic link resolved; as mapped when it
// names nothing.
std::string RealMapped(std::string_view path) {
    const std::string mapped = MapPath(path, Purpose::Use);
    char* real = realpath(mapped.c_str(), nullptr);
    if (real == nullptr) return mapped;
    std::string resolved(real);
    std::free(real);
    return resolved;
}

// The interrupts that ask a program to end, as a terminal, a shell or a
// system going down sends them.
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t kInterruptCount = sizeof kInterrupts / sizeof kInterrupts[0];
struct sigaction interruptsBefore[kInterruptCount];
volatile std::sig_atomic_t waitingInterrupt = 0;

extern "C" void HoldBack(int signal) {
    if (waitingInterrupt == 0) waitingInterrupt = signal;
    // No more console: a console nobody reads (a full pipe) must not keep the
    // address in hand from being finished. A write blocked on it returns, as
    // the interrupt does not restart it, and the next goes nowhere.
    const int none = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (none < 0) return;
    dup2(none, STDOUT_FILENO);
    close(none);
}

}  // namespace

int FileOpen(std::string_view path, Access access, Handle& handle) {
    const int flags = access == Access::Read ? O_RDONLY : access == Access::Append ? O_RDWR | O_APPEND : O_RDWR;
    return OpenMapped(MapPath(path, Purpose::Use), flags, handle);
}

int FileCreate(std::string_view path, Handle& handle) {
    const std::string mapped = MapPath(path, Purpose::Create);
    const int error = OpenMapped(mapped, O_RDWR | O_CREAT | O_TRUNC, handle);
    if (error == 0) path_map::NoteMade(mapped, false);
    return error;
}

int FileCreateNew(std::string_view path, Access access, Handle& handle) {
    const std::string mapped = MapPath(path, Purpose::Create);
    const int flags = O_RDWR | O_CREAT | O_EXCL | (access == Access::Append ? O_APPEND : 0);
    const int error = OpenMapped(mapped, flags, handle);
    // Made meanwhile by another run: the name is there from now on, even
    // where this run listed the folder before.
    if (error == 0 || error == EEXIST) path_map::NoteMade(mapped, false);
    if (error != 0) return error;
    ShareWithGroup(mapped, static_cast<int>(handle));
    return 0;
}

bool MeansAlreadyExists(int error) { return error == EEXIST; }

int FileRead(Handle handle, char* buffer, int size, int& got) {
    got = 0;
    ssize_t n;
    do n = read(static_cast<int>(handle), buffer, static_cast<std::size_t>(size));
    while (n < 0 && errno == EINTR);
    if (n < 0) return LastError();
    got = static_cast<int>(n);
    return 0;
}

int FileWrite(Handle handle, const char* data, int size) {
    while (size > 0) {
        const ssize_t n = write(static_cast<int>(handle), data, static_cast<std::size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? LastError() : EIO;
        data += n;
        size -= static_cast<int>(n);
    }
    return 0;
}

int FileSeek(Handle handle, std::int64_t position) {
    return lseek(static_cast<int>(handle), static_cast<off_t>(position), SEEK_SET) < 0 ? LastError() : 0;
}

int FileSeekEnd(Handle handle, std::int64_t& size) {
    const off_t end = lseek(static_cast<int>(handle), 0, SEEK_END);
    if (end < 0) return LastError();
    size = end;
    return 0;
}

int FileSetEnd(Handle handle) {
    const off_t here = lseek(static_cast<int>(handle), 0, SEEK_CUR);
    if (here < 0) return LastError();
    return ftruncate(static_cast<int>(handle), here) != 0 ? LastError() : 0;
}

int FileClose(Handle handle) { return close(static_cast<int>(handle)) != 0 ? LastError() : 0; }

int FileDelete(std::string_view path) {
    const std::string mapped = MapPath(path, Purpose::Use);
    if (unlink(mapped.c_str()) != 0) return LastError();
    path_map::NoteRemoved(mapped);
    return 0;
}

std::string RealFile(std::string_view path) { return RealMapped(path); }

int FileReplace(std::string_view from, std::string_view to) {
    const std::string source = MapPath(from, Purpose::Use);
    const std::string target = RealMapped(to);
    struct stat old {};
    if (stat(target.c_str(), &old) != 0) return LastError();
    const int fd = open(source.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return LastError();
    // The owner where the process may give it away (as root), else at least
    // the group where it belongs to it; the mode after that, as a change of
    // owner may clear the set-id bits.
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    int error = fchmod(fd, old.st_mode & 07777) != 0 ? LastError() : 0;
    if (error == 0 && fsync(fd) != 0) error = LastError();
    close(fd);
    if (error == 0 && rename(source.c_str(), target.c_str()) != 0) error = LastError();
    if (error != 0) return error;
    path_map::NoteRemoved(source);
    // The rename itself reaches the disk with its folder.
    const std::string parent = path_map::FolderOf(target);
    const int folder = open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return 0;
}

Handle StandardInput() { return STDIN_FILENO; }
Handle StandardOutput() { return STDOUT_FILENO; }

std::string CurrentDirectory() {
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE) return {};
        path.resize(path.size() * 2);
    }
    path.resize(std::strlen(path.c_str()));
    return path;
}

int ChangeDirectory(std::string_view path) {
    if (path.empty()) return 0;
    return chdir(MapPath(path, Purpose::Use).c_str()) != 0 ? LastError() : 0;
}

int MakeDirectory(std::string_view path) {
    bool found = false;
    const std::string mapped = MapPath(path, Purpose::Create, &found);
    // The usual case, a folder that is there already, costs no call.
    if (found) return EEXIST;
    if (mkdir(mapped.c_str(), 0777) != 0) return LastError();
    path_map::NoteMade(mapped, true);
    ShareWithGroup(mapped, -1);
    return 0;
}

Date LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday};
}

Time LocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<std::int32_t>(now.tv_nsec / 10000000)};
}

std::string ProgramPath() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool RawCommandLine(std::string&) { return false; }

void StartProcess() {
    // A standard descriptor that is not open would be the first file opened,
    // and the console would be written into a request file: each is opened
    // on /dev/null instead, a console that swallows everything.
    pollfd standard[] = {{STDIN_FILENO, 0, 0}, {STDOUT_FILENO, 0, 0}, {STDERR_FILENO, 0, 0}};
    if (poll(standard, 3, 0) > 0)
        for (const pollfd& fd : standard)
            if ((fd.revents & POLLNVAL) != 0) {
                const int none = open("/dev/null", fd.fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
                if (none >= 0 && none != fd.fd) {
                    dup2(none, fd.fd);
                    close(none);
                }
            }
    // A reader that goes away must not end the job half-done.
    std::signal(SIGPIPE, SIG_IGN);
}

void EndProcess(unsigned code) { std::_Exit(static_cast<int>(code)); }

void HoldInterrupts() {
    struct sigaction hold {};
    hold.sa_handler = HoldBack;
    sigemptyset(&hold.sa_mask);
    for (const int signal : kInterrupts) sigaddset(&hold.sa_mask, signal);
    hold.sa_flags = 0;  // not restarted: a write blocked on the console returns
    waitingInterrupt = 0;
    for (std::size_t i = 0; i < kInterruptCount; ++i) {
        sigaction(kInterrupts[i], &hold, &interruptsBefore[i]);
        // An interrupt the caller chose to ignore (nohup, a background job) stays ignored.
        if (interruptsBefore[i].sa_handler == SIG_IGN) sigaction(kInterrupts[i], &interruptsBefore[i], nullptr);
    }
}

void ReleaseInterrupts() {
    for (std::size_t i = 0; i < kInterruptCount; ++i)
        if (interruptsBefore[i].sa_handler != SIG_IGN) sigaction(kInterrupts[i], &interruptsBefore[i], nullptr);
    const int signal = waitingInterrupt;
    waitingInterrupt = 0;
    if (signal == 0) return;
    // One that came while an ignored interrupt's own disposition was being
    // put back is ignored too.
    for (std::size_t i = 0; i < kInterruptCount; ++i)
        if (kInterrupts[i] == signal && interruptsBefore[i].sa_handler == SIG_IGN) return;
    // Ended as that interrupt ends a program, so that the shell sees it.
    std::raise(signal);
    std::_Exit(128 + signal);
}

namespace {

// The program's own text in the terminal's character set (the locale's); the
// bytes as they are where that set is CP866 or lacks a character.
std::string TerminalForm(std::string_view ownText) {
    static const iconv_t converter = [] {
        std::setlocale(LC_ALL, "");
        const std::string codeset = nl_langinfo(CODESET);
        if (codeset == "CP866" || codeset == "IBM866") return reinterpret_cast<iconv_t>(-1);
        return iconv_open(codeset.c_str(), "CP866");
    }();
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(ownText);
    std::string input(ownText);
    std::string output(input.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::string(ownText);
    output.resize(output.size() - outLeft);
    return output;
}

}  // namespace

// What the user gave is already in the terminal's character set.
int ConsoleWrite(Handle handle, std::string_view text, TextOrigin origin) {
    if (origin == TextOrigin::Own && isatty(static_cast<int>(handle))) {
        const std::string shown = TerminalForm(text);
        return FileWrite(handle, shown.data(), static_cast<int>(shown.size()));
    }
    return FileWrite(handle, text.data(), static_cast<int>(text.size()));
}

int ProcessId() { return static_cast<int>(getpid()); }

std::int64_t Milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The installation's configuration folder is fixed when the program is built.
std::vector<std::string> ConfigurationFolders() {
    std::vector<std::string> folders;
    for (std::string folder : {std::string(TOLVEX_CONFIG_FOLDER), std::string("/etc")}) {
        std::replace(folder.begin(), folder.end(), '/', '\\');
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    return folders;
}

// UTF-8 is what a POSIX system's file names usually are in already.
bool AnsiFromUtf8(std::string&) { return true; }

void Pause(int milliseconds) {
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

}  // namespace TOLVEX_PLATFORM
