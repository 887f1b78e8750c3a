// The operating-system operations on a POSIX system. Paths arrive in the
// program's own form and are mapped here only: "\" and "/" both separate, a
// component is found regardless of ASCII letter case (lower case first), and
// what is created gets its last component in lower case.
#include "platform/platform.hpp"

#include "platform/posix/path_map.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace TOLVEX_PLATFORM {
namespace {

using path_map::MapPath;
using path_map::Purpose;

int LastError() { return errno != 0 ? errno : EIO; }

Owner OwnerOf(const struct stat& info) {
    static const uid_t user = geteuid();
    if (info.st_uid == user) return Owner::Run;
    return info.st_uid == 0 ? Owner::System : Owner::Other;
}

Kind KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) return Kind::File;
    if (S_ISDIR(info.st_mode)) return Kind::Folder;
    return S_ISLNK(info.st_mode) ? Kind::Link : Kind::Other;
}

Facts FactsOf(const struct stat& info) { return {KindOf(info), OwnerOf(info), static_cast<std::uint32_t>(info.st_nlink)}; }

// The owner, group and mode of each held folder the run makes something in,
// asked once.
std::map<int, struct stat>& FolderStats() {
    static std::map<int, struct stat> stats;
    return stats;
}

const struct stat* FolderStat(int folder) {
    const auto known = FolderStats().find(folder);
    if (known != FolderStats().end()) return &known->second;
    struct stat info {};
    if (fstat(folder, &info) != 0) return nullptr;
    return &(FolderStats()[folder] = info);
}

// Made by root, what is made is the folder owner's and group's: the mailer's
// account must be able to remove what it has sent. What is made inside a
// folder that its group may write to is the group's too, whatever the umask:
// the mailer that shares the outbound through the group must be able to
// flag, rewrite and remove it. The group gets the owner's rights; the bits
// for others stay as the umask left them, and a folder made inside a setgid
// folder keeps the setgid bit the system gave it.
void HandOver(int folder, int made) {
    static const uid_t user = geteuid();
    static const gid_t group = getegid();
    const struct stat* holder = FolderStat(folder);
    if (holder == nullptr) return;
    // What the system gave it: the process's user, and the folder's group in
    // a setgid folder, else the process's.
    const gid_t given = (holder->st_mode & S_ISGID) != 0 ? holder->st_gid : group;
    if (user == 0 && (holder->st_uid != user || holder->st_gid != given)) {
        [[maybe_unused]] const int handed = fchown(made, holder->st_uid, holder->st_gid);
    }
    if ((holder->st_mode & S_IWGRP) == 0) return;
    struct stat info {};
    if (fstat(made, &info) != 0) return;
    const mode_t mode = info.st_mode & 07777;
    const mode_t shared = mode | ((mode & S_IRWXU) >> 3);
    if (shared != mode) fchmod(made, shared);
}

// A file system that cannot keep an owner or a mode (FAT through FUSE, some
// shares) still takes the cleaned file; so does one without fsync.
bool ModeNotKept(int error) { return error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP || error == EPERM; }
bool SyncNotKept(int error) { return error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP; }

// The open flags of a wanted entry; never following a link, never waiting.
int FlagsOf(const Want& want) {
    if (want.Folder) return O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    const int access = want.Mode == Access::Read ? O_RDONLY : want.Mode == Access::Append ? O_RDWR | O_APPEND : O_RDWR;
    return access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (want.Make ? O_CREAT | O_EXCL : 0);
}

// A link met where a file or a folder was wanted: opened as the link itself.
int OpenLink(int folder, const std::string& name, int error, Handle& entry, Facts& facts) {
    if (error != ELOOP && error != ENOTDIR) return error;
    const int link = openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) return error;
    struct stat info {};
    if (fstat(link, &info) != 0 || !S_ISLNK(info.st_mode)) {
        close(link);
        return error;
    }
    facts = FactsOf(info);
    entry = link;
    return 0;
}

// A folder made where it was missing: opened to hand it over, and known to be empty.
int MakeFolder(int folder, const std::string& name, Handle& entry, Facts& facts) {
    if (mkdirat(folder, name.c_str(), 0777) != 0) return LastError();
    path_map::RecordIn(folder, name, path_map::Change::Made);
    const int made = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (made < 0) return LastError();
    HandOver(folder, made);
    path_map::KnownEmpty(made);
    facts = {Kind::Folder, Owner::Run, 1};
    entry = made;
    return 0;
}

}  // namespace

int FileOpen(std::string_view path, Access access, Handle& handle) {
    const int flags = access == Access::Read ? O_RDONLY : access == Access::Append ? O_RDWR | O_APPEND : O_RDWR;
    const int fd = open(MapPath(path, Purpose::Use).c_str(), flags | O_CLOEXEC);
    if (fd < 0) return LastError();
    struct stat info {};
    const int error = fstat(fd, &info) != 0 ? LastError() : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error != 0) {
        close(fd);
        return error;
    }
    handle = fd;
    return 0;
}

bool MeansAlreadyExists(int error) { return error == EEXIST; }
bool MeansMissing(int error) { return error == ENOENT; }
int Refused() { return EACCES; }

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

int FileClose(Handle handle) {
    path_map::Forget(static_cast<int>(handle));
    FolderStats().erase(static_cast<int>(handle));
    return close(static_cast<int>(handle)) != 0 ? LastError() : 0;
}

// The owner where the process may give it away (as root), else at least the
// group where it belongs to it; the mode after that, as a change of owner may
// clear the set-id bits.
int FileTakeOwner(Handle file, Handle model) {
    struct stat old {};
    if (fstat(static_cast<int>(model), &old) != 0) return LastError();
    const int fd = static_cast<int>(file);
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    return fchmod(fd, old.st_mode & 07777) != 0 && !ModeNotKept(errno) ? LastError() : 0;
}

int FolderOpen(std::string_view path, Handle& folder, Handle base) {
    const std::string mapped = base != kNoHandle ? std::string(path) : MapPath(path, Purpose::Use);
    const int at = base != kNoHandle ? static_cast<int>(base) : AT_FDCWD;
    const int fd = openat(at, mapped.empty() ? "." : mapped.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastError();
    folder = fd;
    return 0;
}

int EntryOpen(Handle folder, std::string_view name, const Want& want, Handle& entry, Facts& facts) {
    const int at = static_cast<int>(folder);
    std::string spelled = want.Exact ? std::string(name) : path_map::FindIn(at, name);
    if (spelled.empty()) {
        if (!want.Make) return ENOENT;
        spelled = path_map::Lower(name);
        if (want.Folder) {
            const int error = MakeFolder(at, spelled, entry, facts);
            if (error != EEXIST) return error;  // else made meanwhile: opened as it is
        }
    }
    const int flags = FlagsOf(want);
    const int fd = openat(at, spelled.c_str(), flags, 0666);
    if (fd < 0) {
        const int error = LastError();
        if (error == ENOENT) path_map::RecordIn(at, spelled, path_map::Change::Removed);
        // Made meanwhile by another run, the name is there from now on all the same.
        if (error == EEXIST) path_map::RecordIn(at, spelled, path_map::Change::Made);
        return OpenLink(at, spelled, error, entry, facts);
    }
    if ((flags & O_CREAT) != 0) {
        path_map::RecordIn(at, spelled, path_map::Change::Made);
        HandOver(at, fd);
        facts = {Kind::File, Owner::Run, 1};
    } else if (want.Folder) {
        facts = {Kind::Folder, Owner::Run, 1};  // O_DIRECTORY: nothing else is opened
    } else {
        struct stat info {};
        if (fstat(fd, &info) != 0) {
            const int error = LastError();
            close(fd);
            return error;
        }
        facts = FactsOf(info);
    }
    entry = fd;
    return 0;
}

int LinkTarget(Handle link, std::string& target) {
    target.assign(PATH_MAX, '\0');
    const ssize_t n = readlinkat(static_cast<int>(link), "", target.data(), target.size());
    if (n < 0) return LastError();
    target.resize(static_cast<std::size_t>(n));
    return 0;
}

int EntryRemove(Handle folder, std::string_view name) {
    const int at = static_cast<int>(folder);
    const std::string spelled = path_map::FindIn(at, name);
    if (spelled.empty()) return ENOENT;
    if (unlinkat(at, spelled.c_str(), 0) != 0) return LastError();
    path_map::RecordIn(at, spelled, path_map::Change::Removed);
    return 0;
}

// The copy reaches the disk before it takes the old file's place, and the
// rename reaches it with its folder. The old file, still open, can be read on.
int EntryReplace(Handle folder, std::string_view from, Handle& copy, std::string_view to, Handle&) {
    const int at = static_cast<int>(folder);
    const std::string source = path_map::FindIn(at, from);
    const std::string target = path_map::FindIn(at, to);
    if (source.empty() || target.empty()) return ENOENT;
    if (fsync(static_cast<int>(copy)) != 0 && !SyncNotKept(errno)) return LastError();
    if (renameat(at, source.c_str(), at, target.c_str()) != 0) return LastError();
    path_map::RecordIn(at, source, path_map::Change::Removed);
    const int synced = openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (synced >= 0) {
        fsync(synced);
        close(synced);
    }
    return 0;
}

int ListFolder(Handle folder, std::vector<std::string>& names) {
    return path_map::ListIn(static_cast<int>(folder), names) ? 0 : LastError();
}

namespace {

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

Handle StandardInputHandle() { return STDIN_FILENO; }
Handle StandardOutputHandle() { return STDOUT_FILENO; }

Date LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

Time LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec};
}

// The program's real file, after every symbolic link; empty when the system
// does not say.
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
    // A reader that goes away must not end the job half-done, nor a limit on
    // the size of files: the write fails instead (EFBIG), and the run cuts
    // the file back and stops as on a full disk.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
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

// UTF-8 is what a POSIX system's file names usually are in already.
bool AnsiFromUtf8(std::string&) { return true; }

void Pause(int milliseconds) {
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

}  // namespace TOLVEX_PLATFORM
